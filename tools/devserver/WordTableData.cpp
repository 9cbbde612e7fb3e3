// Columns: category | en | hu | sv | de | fr | es | it | pt | nl | pl | ru.
// A cell holds one or more forms "word=IPA" separated by ";", the usual one first.
extern const char *const vocartaDevWordTableData;
const char *const vocartaDevWordTableData = R"WORDS(
noun|house=haʊs|ház=haːz|hus=hʉːs|Haus=haʊ̯s|maison=mɛ.zɔ̃|casa=ˈka.sa|casa=ˈka.za|casa=ˈka.zɐ|huis=ɦœy̯s|dom=dɔm|дом=dom
noun|water=ˈwɔː.tə|víz=viːz|vatten=ˈvatːɛn|Wasser=ˈva.sɐ|eau=o|agua=ˈa.ɣwa|acqua=ˈak.kwa|água=ˈa.ɡwɐ|water=ˈʋaː.tər|woda=ˈvɔ.da|вода=vɐˈda
noun|book=bʊk|könyv=køɲv|bok=buːk|Buch=buːx|livre=livʁ|libro=ˈli.βɾo|libro=ˈli.bro|livro=ˈli.vɾu|boek=buk|książka=ˈkɕɔ̃ʂ.ka|книга=ˈkʲni.ɡə
noun|dog=dɒɡ|kutya=ˈku.cɒ|hund=hɵnd|Hund=hʊnt|chien=ʃjɛ̃|perro=ˈpe.ro|cane=ˈka.ne|cão=kɐ̃w̃|hond=ɦɔnt|pies=pjɛs|собака=sɐˈba.kə
noun|cat=kæt|macska=ˈmɒt͡ʃ.kɒ|katt=kat|Katze=ˈkat.sə|chat=ʃa|gato=ˈɡa.to|gatto=ˈɡat.to|gato=ˈɡa.tu|kat=kɑt|kot=kɔt|кошка=ˈkoʂ.kə
noun|car=kɑː|autó=ˈɒu.toː|bil=biːl|Auto=ˈaʊ̯.to|voiture=vwa.tyʁ;auto=o.to|coche=ˈko.t͡ʃe;auto=ˈau̯.to|macchina=ˈmak.ki.na;auto=ˈau.to|carro=ˈka.ʁu|auto=ˈʌu.toː|samochód=saˈmɔ.xut|машина=mɐˈʂɨ.nə
noun|friend=frɛnd|barát=ˈbɒ.raːt|vän=vɛːn|Freund=frɔʏ̯nt;Freundin=ˈfrɔʏ̯n.dɪn|ami=a.mi;amie=a.mi|amigo=aˈmi.ɣo;amiga=aˈmi.ɣa|amico=aˈmi.ko;amica=aˈmi.ka|amigo=ɐˈmi.ɣu;amiga=ɐˈmi.ɣɐ|vriend=vrint;vriendin=vrinˈdɪn|przyjaciel=pʂɨˈja.t͡ɕɛl|друг=druk
noun|time=taɪm|idő=ˈi.døː|tid=tiːd|Zeit=t͡saɪ̯t|temps=tɑ̃|tiempo=ˈtjem.po|tempo=ˈtɛm.po|tempo=ˈtẽ.pu|tijd=tɛi̯t|czas=t͡ʂas|время=ˈvrʲe.mʲə
noun|day=deɪ|nap=nɒp|dag=dɑːɡ|Tag=taːk|jour=ʒuʁ|día=ˈdi.a|giorno=ˈd͡ʒor.no|dia=ˈdi.ɐ|dag=dɑx|dzień=d͡ʑɛɲ|день=dʲenʲ
noun|night=naɪt|éjszaka=ˈeːj.sɒ.kɒ|natt=nat|Nacht=naxt|nuit=nɥi|noche=ˈno.t͡ʃe|notte=ˈnɔt.te|noite=ˈnoj.tɨ|nacht=nɑxt|noc=nɔt͡s|ночь=not͡ɕ
noun|sun=sʌn|nap=nɒp|sol=suːl|Sonne=ˈzɔ.nə|soleil=sɔ.lɛj|sol=sol|sole=ˈso.le|sol=sɔɫ|zon=zɔn|słońce=ˈswɔɲ.t͡sɛ|солнце=ˈson.t͡sə
noun|moon=muːn|hold=hold|måne=ˈmoː.nɛ|Mond=moːnt|lune=lyn|luna=ˈlu.na|luna=ˈlu.na|lua=ˈlu.ɐ|maan=maːn|księżyc=ˈkɕɛ̃.ʐɨt͡s|луна=lʊˈna
noun|tree=triː|fa=fɒ|träd=trɛːd|Baum=baʊ̯m|arbre=aʁbʁ|árbol=ˈaɾ.βol|albero=ˈal.be.ro|árvore=ˈaɾ.vu.ɾɨ|boom=boːm|drzewo=ˈdʐɛ.vɔ|дерево=ˈdʲe.rʲɪ.və
noun|bread=brɛd|kenyér=ˈkɛ.ɲeːr|bröd=brøːd|Brot=broːt|pain=pɛ̃|pan=pan|pane=ˈpa.ne|pão=pɐ̃w̃|brood=broːt|chleb=xlɛp|хлеб=xlʲep
noun|apple=ˈæp.əl|alma=ˈɒl.mɒ|äpple=ˈɛp.lɛ|Apfel=ˈap͡f.l̩|pomme=pɔm|manzana=manˈθa.na|mela=ˈme.la|maçã=mɐˈsɐ̃|appel=ˈɑ.pəl|jabłko=ˈjap.kɔ|яблоко=ˈja.blə.kə
noun|city=ˈsɪt.i|város=ˈvaː.roʃ|stad=stɑːd|Stadt=ʃtat|ville=vil|ciudad=θjuˈðað|città=t͡ʃitˈta|cidade=siˈða.ðɨ|stad=stɑt|miasto=ˈmja.stɔ|город=ˈɡo.rət
noun|school=skuːl|iskola=ˈiʃ.ko.lɒ|skola=ˈskuː.la|Schule=ˈʃuː.lə|école=e.kɔl|escuela=esˈkwe.la|scuola=ˈskwɔ.la|escola=ɨʃˈkɔ.lɐ|school=sxoːl|szkoła=ˈʂkɔ.wa|школа=ˈʂko.lə
noun|work=wɜːk|munka=ˈmuŋ.kɒ|arbete=ˈarːˌbeː.tɛ|Arbeit=ˈaʁ.baɪ̯t|travail=tʁa.vaj|trabajo=tɾaˈβa.xo|lavoro=laˈvo.ro|trabalho=tɾɐˈβa.ʎu|werk=ʋɛrk|praca=ˈpra.t͡sa|работа=rɐˈbo.tə
noun|word=wɜːd|szó=soː|ord=uːɖ|Wort=vɔʁt|mot=mo|palabra=paˈla.βɾa|parola=paˈrɔ.la|palavra=pɐˈla.vɾɐ|woord=ʋoːrt|słowo=ˈswɔ.vɔ|слово=ˈslo.və
noun|language=ˈlæŋ.ɡwɪdʒ|nyelv=ɲɛlv|språk=sproːk|Sprache=ˈʃpʁaː.xə|langue=lɑ̃ɡ|idioma=iˈðjo.ma;lengua=ˈleŋ.ɡwa|lingua=ˈliŋ.ɡwa|língua=ˈlĩ.ɡwɐ|taal=taːl|język=ˈjɛ̃.zɨk|язык=jɪˈzɨk
noun|family=ˈfæm.ə.li|család=ˈt͡ʃɒ.laːd|familj=faˈmɪlj|Familie=faˈmiː.li̯ə|famille=fa.mij|familia=faˈmi.lja|famiglia=faˈmiʎ.ʎa|família=fɐˈmi.ljɐ|familie=faːˈmi.li|rodzina=rɔˈd͡ʑi.na|семья=sʲɪˈmʲja
noun|child=tʃaɪld|gyerek=ˈɟɛ.rɛk|barn=bɑːɳ|Kind=kɪnt|enfant=ɑ̃.fɑ̃|niño=ˈni.ɲo|bambino=bamˈbi.no|criança=kɾiˈɐ̃.sɐ|kind=kɪnt|dziecko=ˈd͡ʑɛt͡s.kɔ|ребёнок=rʲɪˈbʲɵ.nək
noun|money=ˈmʌn.i|pénz=peːnz|pengar=ˈpɛŋ.ar|Geld=ɡɛlt|argent=aʁ.ʒɑ̃|dinero=diˈne.ɾo|soldi=ˈsɔl.di|dinheiro=diˈɲɐj.ɾu|geld=ɣɛlt|pieniądze=pjɛˈɲɔn.d͡zɛ|деньги=ˈdʲenʲ.ɡʲɪ
noun|coffee=ˈkɒf.i|kávé=ˈkaː.veː|kaffe=ˈkafː.ɛ|Kaffee=ˈka.fe|café=ka.fe|café=kaˈfe|caffè=kafˈfɛ|café=kɐˈfɛ|koffie=ˈkɔ.fi|kawa=ˈka.va|кофе=ˈko.fʲɪ
noun|window=ˈwɪn.dəʊ|ablak=ˈɒb.lɒk|fönster=ˈfœn.stɛr|Fenster=ˈfɛns.tɐ|fenêtre=fə.nɛtʁ|ventana=benˈta.na|finestra=fiˈnɛs.tra|janela=ʒɐˈnɛ.lɐ|raam=raːm|okno=ˈɔk.nɔ|окно=ɐkˈno
noun|door=dɔː|ajtó=ˈɒj.toː|dörr=dœr|Tür=tyːɐ̯|porte=pɔʁt|puerta=ˈpweɾ.ta|porta=ˈpɔr.ta|porta=ˈpɔɾ.tɐ|deur=døːr|drzwi=dʐvi|дверь=dvʲerʲ
noun|light=laɪt|fény=feːɲ|ljus=jʉːs|Licht=lɪçt|lumière=ly.mjɛʁ|luz=luθ|luce=ˈlu.t͡ʃe|luz=luʃ|licht=lɪxt|światło=ˈɕfjat.wɔ|свет=svʲet
noun|morning=ˈmɔː.nɪŋ|reggel=ˈrɛɡ.ɡɛl|morgon=ˈmɔr.ɔn|Morgen=ˈmɔʁ.ɡn̩|matin=ma.tɛ̃|mañana=maˈɲa.na|mattina=matˈti.na|manhã=mɐˈɲɐ̃|ochtend=ˈɔx.tənt|rano=ˈra.nɔ|утро=ˈu.trə
noun|cheese=tʃiːz|sajt=ʃɒjt|ost=ʊst|Käse=ˈkɛː.zə|fromage=fʁɔ.maʒ|queso=ˈke.so|formaggio=forˈmad.d͡ʒo|queijo=ˈkɐj.ʒu|kaas=kaːs|ser=sɛr|сыр=sɨr
noun|milk=mɪlk|tej=tɛj|mjölk=mjœlk|Milch=mɪlç|lait=lɛ|leche=ˈle.t͡ʃe|latte=ˈlat.te|leite=ˈlɐj.tɨ|melk=mɛlk|mleko=ˈmlɛ.kɔ|молоко=mə.lɐˈko
noun|heart=hɑːt|szív=siːv|hjärta=ˈjæ.ʈa|Herz=hɛʁt͡s|cœur=kœʁ|corazón=ko.ɾaˈθon|cuore=ˈkwɔ.re|coração=ku.ɾɐˈsɐ̃w̃|hart=ɦɑrt|serce=ˈsɛr.t͡sɛ|сердце=ˈsʲer.t͡sə
noun|sea=siː|tenger=ˈtɛŋ.ɡɛr|hav=hɑːv|Meer=meːɐ̯|mer=mɛʁ|mar=maɾ|mare=ˈma.re|mar=maɾ|zee=zeː|morze=ˈmɔ.ʐɛ|море=ˈmo.rʲə
noun|river=ˈrɪv.ə|folyó=ˈfo.joː|flod=fluːd;älv=ɛlv|Fluss=flʊs|rivière=ʁi.vjɛʁ;fleuve=flœv|río=ˈri.o|fiume=ˈfju.me|rio=ˈʁi.u|rivier=riˈvir|rzeka=ˈʐɛ.ka|река=rʲɪˈka
noun|flower=ˈflaʊ.ə|virág=ˈvi.raːɡ|blomma=ˈblʊmː.a|Blume=ˈbluː.mə|fleur=flœʁ|flor=floɾ|fiore=ˈfjo.re|flor=floɾ|bloem=blum|kwiat=kfjat|цветок=t͡svʲɪˈtok
noun|bird=bɜːd|madár=ˈmɒ.daːr|fågel=ˈfoː.ɡɛl|Vogel=ˈfoː.ɡl̩|oiseau=wa.zo|pájaro=ˈpa.xa.ɾo|uccello=ut͡ʃˈt͡ʃɛl.lo|pássaro=ˈpa.sɐ.ɾu|vogel=ˈvoː.ɣəl|ptak=ptak|птица=ˈptʲi.t͡sə
noun|table=ˈteɪ.bəl|asztal=ˈɒs.tɒl|bord=buːɖ|Tisch=tɪʃ|table=tabl|mesa=ˈme.sa|tavolo=ˈta.vo.lo|mesa=ˈme.zɐ|tafel=ˈtaː.fəl|stół=stuw|стол=stol
noun|chair=tʃeə|szék=seːk|stol=stuːl|Stuhl=ʃtuːl|chaise=ʃɛz|silla=ˈsi.ʎa|sedia=ˈsɛ.dja|cadeira=kɐˈðɐj.ɾɐ|stoel=stul|krzesło=ˈkʂɛ.swɔ|стул=stul
adjective|light=laɪt|könnyű=ˈkøɲ.ɲyː|lätt=lɛt|leicht=laɪ̯çt|léger=le.ʒe|ligero=liˈxe.ɾo|leggero=ledˈd͡ʒɛ.ro|leve=ˈlɛ.vɨ|licht=lɪxt|lekki=ˈlɛk.ki|лёгкий=ˈlʲɵx.kʲɪj
adjective|big=bɪɡ|nagy=nɒɟ|stor=stuːr|groß=ɡʁoːs|grand=ɡʁɑ̃|grande=ˈɡɾan.de|grande=ˈɡran.de|grande=ˈɡɾɐ̃.dɨ|groot=ɣroːt|duży=ˈdu.ʐɨ|большой=bɐlʲˈʂoj
adjective|small=smɔːl|kicsi=ˈki.t͡ʃi;kis=kiʃ|liten=ˈliː.tɛn|klein=klaɪ̯n|petit=pə.ti|pequeño=peˈke.ɲo|piccolo=ˈpik.ko.lo|pequeno=pɨˈke.nu|klein=klɛi̯n|mały=ˈma.wɨ|маленький=ˈma.lʲɪnʲ.kʲɪj
adjective|new=njuː|új=uːj|ny=nyː|neu=nɔʏ̯|nouveau=nu.vo;neuf=nœf|nuevo=ˈnwe.βo|nuovo=ˈnwɔ.vo|novo=ˈno.vu|nieuw=niu|nowy=ˈnɔ.vɨ|новый=ˈno.vɨj
adjective|old=əʊld|régi=ˈreː.ɡi;öreg=ˈø.rɛɡ|gammal=ˈɡamː.al|alt=alt|vieux=vjø;ancien=ɑ̃.sjɛ̃|viejo=ˈbje.xo|vecchio=ˈvɛk.kjo|velho=ˈvɛ.ʎu|oud=ʌut|stary=ˈsta.rɨ|старый=ˈsta.rɨj
adjective|beautiful=ˈbjuː.tɪ.fəl|szép=seːp|vacker=ˈvakː.ɛr|schön=ʃøːn|beau=bo;belle=bɛl|hermoso=eɾˈmo.so;bonito=boˈni.to|bello=ˈbɛl.lo|bonito=buˈni.tu;belo=ˈbɛ.lu|mooi=moːi̯|piękny=ˈpjɛŋ.knɨ|красивый=krɐˈsʲi.vɨj
adjective|good=ɡʊd|jó=joː|bra=brɑː|gut=ɡuːt|bon=bɔ̃|bueno=ˈbwe.no|buono=ˈbwɔ.no|bom=bõ|goed=ɣut|dobry=ˈdɔ.brɨ|хороший=xɐˈro.ʂɨj
adjective|happy=ˈhæp.i|boldog=ˈbol.doɡ|glad=ɡlɑːd|glücklich=ˈɡlʏk.lɪç|heureux=œ.ʁø|feliz=feˈliθ|felice=feˈli.t͡ʃe|feliz=fɨˈliʃ|blij=blɛi̯|szczęśliwy=ʂt͡ʂɛ̃ˈɕli.vɨ|счастливый=ɕːɪsˈlʲi.vɨj
adjective|fast=fɑːst|gyors=ɟorʃ|snabb=snab|schnell=ʃnɛl|rapide=ʁa.pid|rápido=ˈra.pi.ðo|veloce=veˈlo.t͡ʃe|rápido=ˈʁa.pi.ðu|snel=snɛl|szybki=ˈʂɨp.ki|быстрый=ˈbɨ.strɨj
verb|eat=iːt|eszik=ˈɛ.sik|äta=ˈɛː.ta|essen=ˈɛ.sn̩|manger=mɑ̃.ʒe|comer=koˈmeɾ|mangiare=manˈd͡ʒa.re|comer=kuˈmeɾ|eten=ˈeː.tə|jeść=jɛɕt͡ɕ|есть=jesʲtʲ
verb|drink=drɪŋk|iszik=ˈi.sik|dricka=ˈdrɪkː.a|trinken=ˈtʁɪŋ.kn̩|boire=bwaʁ|beber=beˈβeɾ|bere=ˈbe.re|beber=bɨˈβeɾ|drinken=ˈdrɪŋ.kə|pić=pit͡ɕ|пить=pʲitʲ
verb|read=riːd|olvas=ˈol.vɒʃ|läsa=ˈlɛː.sa|lesen=ˈleː.zn̩|lire=liʁ|leer=leˈeɾ|leggere=ˈlɛd.d͡ʒe.re|ler=leɾ|lezen=ˈleː.zə|czytać=ˈt͡ʂɨ.tat͡ɕ|читать=t͡ɕɪˈtatʲ
verb|write=raɪt|ír=iːr|skriva=ˈskriː.va|schreiben=ˈʃʁaɪ̯.bn̩|écrire=e.kʁiʁ|escribir=es.kɾiˈβiɾ|scrivere=ˈskri.ve.re|escrever=ɨʃ.kɾɨˈveɾ|schrijven=ˈsxrɛi̯.və|pisać=ˈpi.sat͡ɕ|писать=pʲɪˈsatʲ
verb|speak=spiːk|beszél=ˈbɛ.seːl|tala=ˈtɑː.la|sprechen=ˈʃpʁɛ.çn̩|parler=paʁ.le|hablar=aˈβlaɾ|parlare=parˈla.re|falar=fɐˈlaɾ|spreken=ˈspreː.kə|mówić=ˈmu.vit͡ɕ|говорить=ɡə.vɐˈrʲitʲ
verb|go=ɡəʊ|megy=mɛɟ|gå=ɡoː|gehen=ˈɡeː.ən|aller=a.le|ir=iɾ|andare=anˈda.re|ir=iɾ|gaan=ɣaːn|iść=iɕt͡ɕ|идти=ɪˈtʲtʲi
verb|see=siː|lát=laːt|se=seː|sehen=ˈzeː.ən|voir=vwaʁ|ver=beɾ|vedere=veˈde.re|ver=veɾ|zien=zin|widzieć=ˈvi.d͡ʑɛt͡ɕ|видеть=ˈvʲi.dʲɪtʲ
verb|learn=lɜːn|tanul=ˈtɒ.nul|lära sig=ˈlɛː.ra sɛj|lernen=ˈlɛʁ.nən|apprendre=a.pʁɑ̃dʁ|aprender=a.pɾenˈdeɾ|imparare=im.paˈra.re|aprender=ɐ.pɾẽˈdeɾ|leren=ˈleː.rə|uczyć się=ˈu.t͡ʂɨt͡ɕ ɕɛ|учить=ʊˈt͡ɕitʲ
verb|love=lʌv|szeret=ˈsɛ.rɛt|älska=ˈɛl.ska|lieben=ˈliː.bn̩|aimer=e.me|amar=aˈmaɾ|amare=aˈma.re|amar=ɐˈmaɾ|houden van=ˈɦʌu.də vɑn|kochać=ˈkɔ.xat͡ɕ|любить=lʲʊˈbʲitʲ
verb|sleep=sliːp|alszik=ˈɒl.sik|sova=ˈsuː.va|schlafen=ˈʃlaː.fn̩|dormir=dɔʁ.miʁ|dormir=doɾˈmiɾ|dormire=dorˈmi.re|dormir=duɾˈmiɾ|slapen=ˈslaː.pə|spać=spat͡ɕ|спать=spatʲ
adverb|today=təˈdeɪ|ma=mɒ|idag=iˈdɑːɡ|heute=ˈhɔʏ̯.tə|aujourd'hui=o.ʒuʁ.dɥi|hoy=oi̯|oggi=ˈɔd.d͡ʒi|hoje=ˈo.ʒɨ|vandaag=vɑnˈdaːx|dzisiaj=ˈd͡ʑi.ɕaj|сегодня=sʲɪˈvod.nʲə
adverb|tomorrow=təˈmɒr.əʊ|holnap=ˈhol.nɒp|imorgon=ɪˈmɔr.ɔn|morgen=ˈmɔʁ.ɡn̩|demain=də.mɛ̃|mañana=maˈɲa.na|domani=doˈma.ni|amanhã=ɐ.mɐˈɲɐ̃|morgen=ˈmɔr.ɣə|jutro=ˈju.trɔ|завтра=ˈzaf.trə
phrase|thank you=ˈθæŋk juː|köszönöm=ˈkø.sø.nøm|tack=tak|danke=ˈdaŋ.kə|merci=mɛʁ.si|gracias=ˈɡɾa.θjas|grazie=ˈɡrat.t͡sje|obrigado=ɔ.bɾiˈɣa.ðu;obrigada=ɔ.bɾiˈɣa.ðɐ|dank je=ˈdɑŋk jə|dziękuję=d͡ʑɛ̃ˈku.jɛ|спасибо=spɐˈsʲi.bə
phrase|good morning=ɡʊd ˈmɔː.nɪŋ|jó reggelt=joː ˈrɛɡ.ɡɛlt|god morgon=ɡuː ˈmɔr.ɔn|guten Morgen=ˈɡuː.tn̩ ˈmɔʁ.ɡn̩|bonjour=bɔ̃.ʒuʁ|buenos días=ˈbwe.nos ˈði.as|buongiorno=bwɔnˈd͡ʒor.no|bom dia=bõ ˈdi.ɐ|goedemorgen=ˌɣu.dəˈmɔr.ɣə|dzień dobry=d͡ʑɛɲ ˈdɔ.brɨ|доброе утро=ˈdo.brə.jə ˈu.trə
)WORDS";
