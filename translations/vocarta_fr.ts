<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>AddCardAddButton</name>
    <message>
        <source>ADD</source>
        <extracomment>The button that saves the chosen translation as a card in the active deck; a short verb in capitals.</extracomment>
        <translation>AJOUTER</translation>
    </message>
    <message>
        <source>Saving...</source>
        <translation>Enregistrement…</translation>
    </message>
    <message>
        <source>Adds the card to the active deck.</source>
        <translation>Ajoute la carte au paquet actif.</translation>
    </message>
</context>
<context>
    <name>AddCardOverlayContent</name>
    <message>
        <source>Not signed in — choose “%1” in the menu.</source>
        <extracomment>Shown in the overlay; %1 is the tray menu&apos;s item that links this computer (&quot;Sign In...&quot;).</extracomment>
        <translation>Non connecté — choisissez «&#xa0;%1&#xa0;» dans le menu.</translation>
    </message>
</context>
<context>
    <name>AddCardOverlayView</name>
    <message>
        <source>Word or phrase</source>
        <translation>Mot ou expression</translation>
    </message>
    <message>
        <source>Add your word or phrase</source>
        <translation>Saisissez votre mot ou expression</translation>
    </message>
    <message>
        <source>Translating...</source>
        <translation>Traduction…</translation>
    </message>
    <message numerus="yes">
        <source>%n result(s)</source>
        <extracomment>Told to a screen reader when the candidates appear.</extracomment>
        <translation>
            <numerusform>%n résultat</numerusform>
            <numerusform>%n résultats</numerusform>
        </translation>
    </message>
    <message>
        <source>Chosen card: %1, %2</source>
        <extracomment>Told to a screen reader when a candidate is chosen; %1 is the word, %2 its translation.</extracomment>
        <translation>Carte choisie&#xa0;: %1, %2</translation>
    </message>
    <message>
        <source>Result %1 of %2</source>
        <extracomment>Screen reader description of a candidate; %1 is its place in the list, %2 how many there are.</extracomment>
        <translation>Résultat %1 sur %2</translation>
    </message>
</context>
<context>
    <name>AddCardPanelController</name>
    <message>
        <source>Add card</source>
        <extracomment>Title of the overlay window, as the window list and screen readers name it.</extracomment>
        <translation>Ajouter une carte</translation>
    </message>
</context>
<context>
    <name>AddCardResultCard</name>
    <message>
        <source>Card: %1, %2</source>
        <extracomment>Screen reader name of the chosen card; %1 is the word, %2 its translation.</extracomment>
        <translation>Carte&#xa0;: %1, %2</translation>
    </message>
</context>
<context>
    <name>AuthManager</name>
    <message>
        <source>Invalid or expired code. Generate a new one in the iOS app.</source>
        <translation>Code invalide ou expiré. Générez-en un nouveau dans l’app iOS.</translation>
    </message>
    <message>
        <source>Sign-in failed.</source>
        <translation>Échec de la connexion.</translation>
    </message>
</context>
<context>
    <name>AuthWindow</name>
    <message>
        <source>Vocarta Settings</source>
        <translation>Paramètres de Vocarta</translation>
    </message>
</context>
<context>
    <name>ConvexError</name>
    <message>
        <source>Auth failed: %1</source>
        <extracomment>%1 is the reason, as the service or the program&apos;s sign-in gave it (not translated).</extracomment>
        <translation>Échec de l’authentification&#xa0;: %1</translation>
    </message>
    <message>
        <source>Network error: %1</source>
        <extracomment>%1 is the network&apos;s own description of the problem (not translated).</extracomment>
        <translation>Erreur réseau&#xa0;: %1</translation>
    </message>
    <message>
        <source>Server error (%1): %2</source>
        <extracomment>%1 is the HTTP status code, %2 the service&apos;s own message (not translated).</extracomment>
        <translation>Erreur du serveur (%1)&#xa0;: %2</translation>
    </message>
</context>
<context>
    <name>LinkCodeBox</name>
    <message>
        <source>Code character %1</source>
        <extracomment>Screen reader name of one of the eight boxes of the link code; %1 is its position, 1 to 8.</extracomment>
        <translation>Caractère %1 du code</translation>
    </message>
</context>
<context>
    <name>LinkCodeSectionHeader</name>
    <message>
        <source>Expanded</source>
        <translation>Développé</translation>
    </message>
    <message>
        <source>Collapsed</source>
        <translation>Replié</translation>
    </message>
</context>
<context>
    <name>LinkCodeView</name>
    <message>
        <source>CONNECT TO VOCARTA</source>
        <extracomment>Section title in capitals: linking this computer to the phone app.</extracomment>
        <translation>SE CONNECTER À VOCARTA</translation>
    </message>
    <message>
        <source>Open the iOS app → Settings → Mac App and enter the code below.</source>
        <translation>Ouvrez l’app iOS → Réglages → Mac App et saisissez le code ci-dessous.</translation>
    </message>
    <message>
        <source>CONNECT</source>
        <extracomment>Button in capitals that sends the typed link code.</extracomment>
        <translation>CONNECTER</translation>
    </message>
    <message>
        <source>CONNECTED!</source>
        <extracomment>Shown in capitals once this computer is linked to the phone app.</extracomment>
        <translation>CONNECTÉ&#xa0;!</translation>
    </message>
    <message>
        <source>Your computer is linked to the iOS app.</source>
        <translation>Votre ordinateur est associé à l’app iOS.</translation>
    </message>
    <message>
        <source>RELINK</source>
        <extracomment>Button in capitals: sign out and link this computer again with a new code.</extracomment>
        <translation>RÉASSOCIER</translation>
    </message>
    <message>
        <source>ADD CARD SHORTCUT</source>
        <extracomment>Section title in capitals: the global keyboard shortcut that opens the Add Card overlay.</extracomment>
        <translation>RACCOURCI D’AJOUT DE CARTE</translation>
    </message>
    <message>
        <source>Set a global keyboard shortcut to open the Add Card overlay from anywhere on your computer.</source>
        <translation>Définissez un raccourci clavier global pour ouvrir «&#xa0;Ajouter une carte&#xa0;» depuis n’importe où sur votre ordinateur.</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Connexion…</translation>
    </message>
    <message>
        <source>Signs out and links this computer again with a new code.</source>
        <translation>Vous déconnecte et associe cet ordinateur avec un nouveau code.</translation>
    </message>
</context>
<context>
    <name>OnboardingInfoPage</name>
    <message>
        <source>VOCARTA</source>
        <extracomment>The product name as a title in capitals; keep it unless your language writes it in another script.</extracomment>
        <translation>VOCARTA</translation>
    </message>
    <message>
        <source>Learn new words every day</source>
        <translation>Apprenez de nouveaux mots chaque jour</translation>
    </message>
    <message>
        <source>This is a companion app for the Vocarta iOS app.</source>
        <translation>Cette app accompagne l’app Vocarta pour iOS.</translation>
    </message>
    <message>
        <source>NEXT</source>
        <extracomment>Button in capitals that goes on to the next page of the first-run window.</extracomment>
        <translation>SUIVANT</translation>
    </message>
    <message>
        <source>DOWNLOAD IOS APP</source>
        <extracomment>Button in capitals that opens the phone app&apos;s download page in the browser.</extracomment>
        <translation>TÉLÉCHARGER L’APP IOS</translation>
    </message>
</context>
<context>
    <name>PlatformError</name>
    <message>
        <source>The operation was cancelled.</source>
        <translation>L’opération a été annulée.</translation>
    </message>
    <message>
        <source>Sign in with Apple is not available on this system.</source>
        <translation>«&#xa0;Se connecter avec Apple&#xa0;» n’est pas disponible sur ce système.</translation>
    </message>
    <message>
        <source>The web browser could not be opened.</source>
        <translation>Impossible d’ouvrir le navigateur web.</translation>
    </message>
</context>
<context>
    <name>PortalHotKeyService</name>
    <message>
        <source>Add a card from the selected text</source>
        <extracomment>The shortcut&apos;s description in the desktop&apos;s own shortcut settings.</extracomment>
        <translation>Ajouter une carte à partir du texte sélectionné</translation>
    </message>
</context>
<context>
    <name>SettingsAccountTab</name>
    <message>
        <source>Status</source>
        <extracomment>Label of the sign-in status row in the settings window.</extracomment>
        <translation>État</translation>
    </message>
    <message>
        <source>Signed in</source>
        <translation>Connecté</translation>
    </message>
    <message>
        <source>Not signed in</source>
        <translation>Non connecté</translation>
    </message>
    <message>
        <source>Account</source>
        <extracomment>Label of the row that shows the e-mail address of the signed-in account.</extracomment>
        <translation>Compte</translation>
    </message>
    <message>
        <source>Sign Out</source>
        <translation>Se déconnecter</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Lancer à l’ouverture de session</translation>
    </message>
</context>
<context>
    <name>SettingsDecksTab</name>
    <message>
        <source>No decks found</source>
        <translation>Aucun paquet trouvé</translation>
    </message>
    <message>
        <source>Decks</source>
        <extracomment>Screen reader name of the list of decks in the settings window.</extracomment>
        <translation>Paquets</translation>
    </message>
    <message>
        <source>Loading decks...</source>
        <translation>Chargement des paquets…</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Account</source>
        <extracomment>Tab of the settings window: the sign-in status and account.</extracomment>
        <translation>Compte</translation>
    </message>
    <message>
        <source>Decks</source>
        <extracomment>Tab of the settings window: the list of decks to choose the active one from.</extracomment>
        <translation>Paquets</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Vocarta Menubar Settings</source>
        <translation>Paramètres de Vocarta Menubar</translation>
    </message>
</context>
<context>
    <name>ShortcutRecorderView</name>
    <message>
        <source>Press shortcut keys...</source>
        <translation>Appuyez sur les touches du raccourci…</translation>
    </message>
    <message>
        <source>Click to set shortcut</source>
        <translation>Cliquez pour définir un raccourci</translation>
    </message>
    <message>
        <source>Clear shortcut</source>
        <translation>Effacer le raccourci</translation>
    </message>
    <message>
        <source>This shortcut is reserved by the system.</source>
        <translation>Ce raccourci est réservé par le système.</translation>
    </message>
    <message>
        <source>The global shortcut that opens the Add Card overlay. Press Space to record a new one.</source>
        <translation>Le raccourci global qui ouvre «&#xa0;Ajouter une carte&#xa0;». Appuyez sur Espace pour en enregistrer un nouveau.</translation>
    </message>
</context>
<context>
    <name>SystemHotKeyService</name>
    <message>
        <source>System Settings › Shortcuts (add a new command)</source>
        <extracomment>Where KDE Plasma binds commands to keys; use the names of Plasma&apos;s own settings in your language.</extracomment>
        <translation>Configuration du système › Raccourcis (ajouter une nouvelle commande)</translation>
    </message>
    <message>
        <source>Settings › Keyboard › View and Customize Shortcuts › Custom Shortcuts</source>
        <extracomment>Where GNOME binds commands to keys; use the names of GNOME&apos;s own settings in your language.</extracomment>
        <translation>Paramètres › Clavier › Afficher et personnaliser les raccourcis › Raccourcis personnalisés</translation>
    </message>
    <message>
        <source>Settings › Keyboard › Application Shortcuts</source>
        <extracomment>Where Xfce binds commands to keys; use the names of Xfce&apos;s own settings in your language.</extracomment>
        <translation>Paramètres › Clavier › Raccourcis d’applications</translation>
    </message>
    <message>
        <source>your desktop&apos;s keyboard shortcut settings</source>
        <extracomment>Completes &quot;bind the command %1 to a key in %2&quot; on an unknown desktop.</extracomment>
        <translation>les réglages des raccourcis clavier de votre bureau</translation>
    </message>
    <message>
        <source>This desktop does not let programs set a global shortcut. To open the Add Card overlay from any application, bind the command %1 to a key in %2.</source>
        <extracomment>%1 is the command to bind, %2 where the desktop&apos;s settings do that.</extracomment>
        <translation>Ce bureau ne permet pas aux programmes de définir un raccourci global. Pour ouvrir «&#xa0;Ajouter une carte&#xa0;» depuis n’importe quelle application, associez la commande %1 à une touche dans %2.</translation>
    </message>
    <message>
        <source>The desktop did not set up this shortcut: %1. Record it again, or bind the command %2 to a key in %3.</source>
        <extracomment>%1 is the desktop&apos;s own reason (not translated), %2 the command to bind, %3 where the desktop&apos;s settings do that.</extracomment>
        <translation>Le bureau n’a pas configuré ce raccourci&#xa0;: %1. Enregistrez-le à nouveau ou associez la commande %2 à une touche dans %3.</translation>
    </message>
</context>
<context>
    <name>TrayMenu</name>
    <message>
        <source>No active deck — create one first to add cards.</source>
        <translation>Aucun paquet actif — créez-en d’abord un pour ajouter des cartes.</translation>
    </message>
    <message>
        <source>Sign In...</source>
        <extracomment>Tray menu item that opens the window to link this computer.</extracomment>
        <translation>Se connecter…</translation>
    </message>
    <message>
        <source>Active: %1</source>
        <extracomment>First line of the tray menu; %1 is the active deck&apos;s name as the user wrote it.</extracomment>
        <translation>Actif&#xa0;: %1</translation>
    </message>
    <message>
        <source>Loading decks...</source>
        <translation>Chargement des paquets…</translation>
    </message>
    <message>
        <source>Quit Vocarta Menubar</source>
        <translation>Quitter Vocarta Menubar</translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation>Actualisation…</translation>
    </message>
    <message>
        <source>Refresh Decks</source>
        <translation>Actualiser les paquets</translation>
    </message>
    <message>
        <source>Add Card...</source>
        <translation>Ajouter une carte…</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Paramètres…</translation>
    </message>
    <message>
        <source>Updates Come from the Package Manager</source>
        <translation>Mises à jour par le gestionnaire de paquets</translation>
    </message>
    <message>
        <source>Check for Updates...</source>
        <translation>Rechercher des mises à jour…</translation>
    </message>
    <message>
        <source>Relink...</source>
        <extracomment>Tray menu item: sign out and link this computer again with a new code.</extracomment>
        <translation>Réassocier…</translation>
    </message>
</context>
<context>
    <name>UpdateDialog</name>
    <message>
        <source>Software Update</source>
        <translation>Mise à jour du logiciel</translation>
    </message>
    <message>
        <source>A new version of Vocarta Menubar is available!</source>
        <translation>Une nouvelle version de Vocarta Menubar est disponible&#xa0;!</translation>
    </message>
    <message>
        <source>Vocarta Menubar %1 is now available; you have %2.</source>
        <extracomment>%1 is the new version, %2 the version installed.</extracomment>
        <translation>Vocarta Menubar %1 est disponible&#xa0;; vous avez la version %2.</translation>
    </message>
    <message>
        <source>Download...</source>
        <translation>Télécharger…</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Plus tard</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>Vous êtes à jour&#xa0;!</translation>
    </message>
    <message>
        <source>Vocarta Menubar %1 is currently the newest version available.</source>
        <extracomment>%1 is the version installed.</extracomment>
        <translation>Vocarta Menubar %1 est actuellement la version la plus récente.</translation>
    </message>
    <message>
        <source>Update Error!</source>
        <translation>Erreur de mise à jour&#xa0;!</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Updates for this copy come from your package manager.</source>
        <translation>Les mises à jour de cette copie passent par votre gestionnaire de paquets.</translation>
    </message>
    <message>
        <source>This build has no key to verify updates with.</source>
        <translation>Cette version n’a pas de clé pour vérifier les mises à jour.</translation>
    </message>
    <message>
        <source>The update feed address is not a secure address.</source>
        <translation>L’adresse du flux de mises à jour n’est pas sécurisée.</translation>
    </message>
    <message>
        <source>Could not read the update feed: %1.</source>
        <extracomment>%1 is the network&apos;s own description of the problem.</extracomment>
        <translation>Impossible de lire le flux de mises à jour&#xa0;: %1.</translation>
    </message>
    <message>
        <source>Could not read the update feed&apos;s signature: %1.</source>
        <extracomment>%1 is the network&apos;s own description of the problem.</extracomment>
        <translation>Impossible de lire la signature du flux de mises à jour&#xa0;: %1.</translation>
    </message>
    <message>
        <source>The update feed&apos;s signature is not valid; it was ignored.</source>
        <translation>La signature du flux de mises à jour n’est pas valide&#xa0;; le flux a été ignoré.</translation>
    </message>
    <message>
        <source>The update feed could not be read: %1.</source>
        <extracomment>%1 says what is wrong with the feed&apos;s content.</extracomment>
        <translation>Le contenu du flux de mises à jour est illisible&#xa0;: %1.</translation>
    </message>
</context>
</TS>
