<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>AddCardAddButton</name>
    <message>
        <source>ADD</source>
        <extracomment>The button that saves the chosen translation as a card in the active deck; a short verb in capitals.</extracomment>
        <translation>HINZUFÜGEN</translation>
    </message>
    <message>
        <source>Saving...</source>
        <translation>Wird gespeichert …</translation>
    </message>
    <message>
        <source>Adds the card to the active deck.</source>
        <translation>Fügt die Karte dem aktiven Stapel hinzu.</translation>
    </message>
</context>
<context>
    <name>AddCardOverlayContent</name>
    <message>
        <source>Not signed in — choose “%1” in the menu.</source>
        <extracomment>Shown in the overlay; %1 is the tray menu&apos;s item that links this computer (&quot;Sign In...&quot;).</extracomment>
        <translation>Nicht angemeldet – wähle „%1“ im Menü.</translation>
    </message>
</context>
<context>
    <name>AddCardOverlayView</name>
    <message>
        <source>Word or phrase</source>
        <translation>Wort oder Ausdruck</translation>
    </message>
    <message>
        <source>Add your word or phrase</source>
        <translation>Gib dein Wort oder deinen Ausdruck ein</translation>
    </message>
    <message>
        <source>Translating...</source>
        <translation>Wird übersetzt …</translation>
    </message>
    <message numerus="yes">
        <source>%n result(s)</source>
        <extracomment>Told to a screen reader when the candidates appear.</extracomment>
        <translation>
            <numerusform>%n Ergebnis</numerusform>
            <numerusform>%n Ergebnisse</numerusform>
        </translation>
    </message>
    <message>
        <source>Chosen card: %1, %2</source>
        <extracomment>Told to a screen reader when a candidate is chosen; %1 is the word, %2 its translation.</extracomment>
        <translation>Gewählte Karte: %1, %2</translation>
    </message>
    <message>
        <source>Result %1 of %2</source>
        <extracomment>Screen reader description of a candidate; %1 is its place in the list, %2 how many there are.</extracomment>
        <translation>Ergebnis %1 von %2</translation>
    </message>
</context>
<context>
    <name>AddCardPanelController</name>
    <message>
        <source>Add card</source>
        <extracomment>Title of the overlay window, as the window list and screen readers name it.</extracomment>
        <translation>Karte hinzufügen</translation>
    </message>
</context>
<context>
    <name>AddCardResultCard</name>
    <message>
        <source>Card: %1, %2</source>
        <extracomment>Screen reader name of the chosen card; %1 is the word, %2 its translation.</extracomment>
        <translation>Karte: %1, %2</translation>
    </message>
</context>
<context>
    <name>AuthManager</name>
    <message>
        <source>Invalid or expired code. Generate a new one in the iOS app.</source>
        <translation>Ungültiger oder abgelaufener Code. Erzeuge in der iOS-App einen neuen.</translation>
    </message>
    <message>
        <source>Sign-in failed.</source>
        <translation>Anmeldung fehlgeschlagen.</translation>
    </message>
</context>
<context>
    <name>AuthWindow</name>
    <message>
        <source>Vocarta Settings</source>
        <translation>Vocarta – Einstellungen</translation>
    </message>
</context>
<context>
    <name>ConvexError</name>
    <message>
        <source>Auth failed: %1</source>
        <extracomment>%1 is the reason, as the service or the program&apos;s sign-in gave it (not translated).</extracomment>
        <translation>Anmeldung fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Network error: %1</source>
        <extracomment>%1 is the network&apos;s own description of the problem (not translated).</extracomment>
        <translation>Netzwerkfehler: %1</translation>
    </message>
    <message>
        <source>Server error (%1): %2</source>
        <extracomment>%1 is the HTTP status code, %2 the service&apos;s own message (not translated).</extracomment>
        <translation>Serverfehler (%1): %2</translation>
    </message>
</context>
<context>
    <name>LinkCodeBox</name>
    <message>
        <source>Code character %1</source>
        <extracomment>Screen reader name of one of the eight boxes of the link code; %1 is its position, 1 to 8.</extracomment>
        <translation>Codezeichen %1</translation>
    </message>
</context>
<context>
    <name>LinkCodeSectionHeader</name>
    <message>
        <source>Expanded</source>
        <translation>Aufgeklappt</translation>
    </message>
    <message>
        <source>Collapsed</source>
        <translation>Zugeklappt</translation>
    </message>
</context>
<context>
    <name>LinkCodeView</name>
    <message>
        <source>CONNECT TO VOCARTA</source>
        <extracomment>Section title in capitals: linking this computer to the phone app.</extracomment>
        <translation>MIT VOCARTA VERBINDEN</translation>
    </message>
    <message>
        <source>Open the iOS app → Settings → Mac App and enter the code below.</source>
        <translation>Öffne die iOS-App → Einstellungen → Mac App und gib den Code unten ein.</translation>
    </message>
    <message>
        <source>CONNECT</source>
        <extracomment>Button in capitals that sends the typed link code.</extracomment>
        <translation>VERBINDEN</translation>
    </message>
    <message>
        <source>CONNECTED!</source>
        <extracomment>Shown in capitals once this computer is linked to the phone app.</extracomment>
        <translation>VERBUNDEN!</translation>
    </message>
    <message>
        <source>Your computer is linked to the iOS app.</source>
        <translation>Dein Computer ist mit der iOS-App verknüpft.</translation>
    </message>
    <message>
        <source>RELINK</source>
        <extracomment>Button in capitals: sign out and link this computer again with a new code.</extracomment>
        <translation>NEU VERKNÜPFEN</translation>
    </message>
    <message>
        <source>ADD CARD SHORTCUT</source>
        <extracomment>Section title in capitals: the global keyboard shortcut that opens the Add Card overlay.</extracomment>
        <translation>TASTENKÜRZEL FÜR NEUE KARTEN</translation>
    </message>
    <message>
        <source>Set a global keyboard shortcut to open the Add Card overlay from anywhere on your computer.</source>
        <translation>Lege ein globales Tastenkürzel fest, um „Karte hinzufügen“ von überall auf deinem Computer zu öffnen.</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Wird verbunden …</translation>
    </message>
    <message>
        <source>Signs out and links this computer again with a new code.</source>
        <translation>Meldet ab und verknüpft diesen Computer mit einem neuen Code.</translation>
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
        <translation>Lerne jeden Tag neue Wörter</translation>
    </message>
    <message>
        <source>This is a companion app for the Vocarta iOS app.</source>
        <translation>Dies ist die Begleit-App zur Vocarta-App für iOS.</translation>
    </message>
    <message>
        <source>NEXT</source>
        <extracomment>Button in capitals that goes on to the next page of the first-run window.</extracomment>
        <translation>WEITER</translation>
    </message>
    <message>
        <source>DOWNLOAD IOS APP</source>
        <extracomment>Button in capitals that opens the phone app&apos;s download page in the browser.</extracomment>
        <translation>IOS-APP LADEN</translation>
    </message>
</context>
<context>
    <name>PlatformError</name>
    <message>
        <source>The operation was cancelled.</source>
        <translation>Der Vorgang wurde abgebrochen.</translation>
    </message>
    <message>
        <source>Sign in with Apple is not available on this system.</source>
        <translation>„Mit Apple anmelden“ ist auf diesem System nicht verfügbar.</translation>
    </message>
    <message>
        <source>The web browser could not be opened.</source>
        <translation>Der Webbrowser konnte nicht geöffnet werden.</translation>
    </message>
</context>
<context>
    <name>PortalHotKeyService</name>
    <message>
        <source>Add a card from the selected text</source>
        <extracomment>The shortcut&apos;s description in the desktop&apos;s own shortcut settings.</extracomment>
        <translation>Eine Karte aus dem markierten Text hinzufügen</translation>
    </message>
</context>
<context>
    <name>SettingsAccountTab</name>
    <message>
        <source>Status</source>
        <extracomment>Label of the sign-in status row in the settings window.</extracomment>
        <translation>Status</translation>
    </message>
    <message>
        <source>Signed in</source>
        <translation>Angemeldet</translation>
    </message>
    <message>
        <source>Not signed in</source>
        <translation>Nicht angemeldet</translation>
    </message>
    <message>
        <source>Account</source>
        <extracomment>Label of the row that shows the e-mail address of the signed-in account.</extracomment>
        <translation>Konto</translation>
    </message>
    <message>
        <source>Sign Out</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
</context>
<context>
    <name>SettingsDecksTab</name>
    <message>
        <source>No decks found</source>
        <translation>Keine Stapel gefunden</translation>
    </message>
    <message>
        <source>Decks</source>
        <extracomment>Screen reader name of the list of decks in the settings window.</extracomment>
        <translation>Stapel</translation>
    </message>
    <message>
        <source>Loading decks...</source>
        <translation>Stapel werden geladen …</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Account</source>
        <extracomment>Tab of the settings window: the sign-in status and account.</extracomment>
        <translation>Konto</translation>
    </message>
    <message>
        <source>Decks</source>
        <extracomment>Tab of the settings window: the list of decks to choose the active one from.</extracomment>
        <translation>Stapel</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Vocarta Menubar Settings</source>
        <translation>Vocarta Menubar – Einstellungen</translation>
    </message>
</context>
<context>
    <name>ShortcutRecorderView</name>
    <message>
        <source>Press shortcut keys...</source>
        <translation>Tastenkombination drücken …</translation>
    </message>
    <message>
        <source>Click to set shortcut</source>
        <translation>Klicken, um ein Tastenkürzel festzulegen</translation>
    </message>
    <message>
        <source>Clear shortcut</source>
        <translation>Tastenkürzel entfernen</translation>
    </message>
    <message>
        <source>This shortcut is reserved by the system.</source>
        <translation>Dieses Tastenkürzel ist vom System belegt.</translation>
    </message>
    <message>
        <source>The global shortcut that opens the Add Card overlay. Press Space to record a new one.</source>
        <translation>Das globale Tastenkürzel, das „Karte hinzufügen“ öffnet. Drücke die Leertaste, um ein neues aufzunehmen.</translation>
    </message>
</context>
<context>
    <name>SystemHotKeyService</name>
    <message>
        <source>System Settings › Shortcuts (add a new command)</source>
        <extracomment>Where KDE Plasma binds commands to keys; use the names of Plasma&apos;s own settings in your language.</extracomment>
        <translation>Systemeinstellungen › Kurzbefehle (neuen Befehl hinzufügen)</translation>
    </message>
    <message>
        <source>Settings › Keyboard › View and Customize Shortcuts › Custom Shortcuts</source>
        <extracomment>Where GNOME binds commands to keys; use the names of GNOME&apos;s own settings in your language.</extracomment>
        <translation>Einstellungen › Tastatur › Tastenkürzel anzeigen und anpassen › Eigene Tastenkürzel</translation>
    </message>
    <message>
        <source>Settings › Keyboard › Application Shortcuts</source>
        <extracomment>Where Xfce binds commands to keys; use the names of Xfce&apos;s own settings in your language.</extracomment>
        <translation>Einstellungen › Tastatur › Tastenkürzel für Anwendungen</translation>
    </message>
    <message>
        <source>your desktop&apos;s keyboard shortcut settings</source>
        <extracomment>Completes &quot;bind the command %1 to a key in %2&quot; on an unknown desktop.</extracomment>
        <translation>den Tastenkürzel-Einstellungen deiner Arbeitsumgebung</translation>
    </message>
    <message>
        <source>This desktop does not let programs set a global shortcut. To open the Add Card overlay from any application, bind the command %1 to a key in %2.</source>
        <extracomment>%1 is the command to bind, %2 where the desktop&apos;s settings do that.</extracomment>
        <translation>Diese Arbeitsumgebung erlaubt Programmen keine globalen Tastenkürzel. Um „Karte hinzufügen“ aus jeder Anwendung zu öffnen, lege den Befehl %1 unter %2 auf eine Taste.</translation>
    </message>
    <message>
        <source>The desktop did not set up this shortcut: %1. Record it again, or bind the command %2 to a key in %3.</source>
        <extracomment>%1 is the desktop&apos;s own reason (not translated), %2 the command to bind, %3 where the desktop&apos;s settings do that.</extracomment>
        <translation>Die Arbeitsumgebung hat dieses Tastenkürzel nicht eingerichtet: %1. Nimm es erneut auf oder lege den Befehl %2 unter %3 auf eine Taste.</translation>
    </message>
</context>
<context>
    <name>TrayMenu</name>
    <message>
        <source>No active deck — create one first to add cards.</source>
        <translation>Kein aktiver Stapel – lege zuerst einen an, um Karten hinzuzufügen.</translation>
    </message>
    <message>
        <source>Sign In...</source>
        <extracomment>Tray menu item that opens the window to link this computer.</extracomment>
        <translation>Anmelden …</translation>
    </message>
    <message>
        <source>Active: %1</source>
        <extracomment>First line of the tray menu; %1 is the active deck&apos;s name as the user wrote it.</extracomment>
        <translation>Aktiv: %1</translation>
    </message>
    <message>
        <source>Loading decks...</source>
        <translation>Stapel werden geladen …</translation>
    </message>
    <message>
        <source>Quit Vocarta Menubar</source>
        <translation>Vocarta Menubar beenden</translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation>Wird aktualisiert …</translation>
    </message>
    <message>
        <source>Refresh Decks</source>
        <translation>Stapel aktualisieren</translation>
    </message>
    <message>
        <source>Add Card...</source>
        <translation>Karte hinzufügen …</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>Updates Come from the Package Manager</source>
        <translation>Updates kommen über die Paketverwaltung</translation>
    </message>
    <message>
        <source>Check for Updates...</source>
        <translation>Nach Updates suchen …</translation>
    </message>
    <message>
        <source>Relink...</source>
        <extracomment>Tray menu item: sign out and link this computer again with a new code.</extracomment>
        <translation>Neu verknüpfen …</translation>
    </message>
</context>
<context>
    <name>UpdateDialog</name>
    <message>
        <source>Software Update</source>
        <translation>Softwareaktualisierung</translation>
    </message>
    <message>
        <source>A new version of Vocarta Menubar is available!</source>
        <translation>Eine neue Version von Vocarta Menubar ist da!</translation>
    </message>
    <message>
        <source>Vocarta Menubar %1 is now available; you have %2.</source>
        <extracomment>%1 is the new version, %2 the version installed.</extracomment>
        <translation>Vocarta Menubar %1 ist jetzt verfügbar; du hast %2.</translation>
    </message>
    <message>
        <source>Download...</source>
        <translation>Herunterladen …</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Später</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>Alles auf dem neuesten Stand!</translation>
    </message>
    <message>
        <source>Vocarta Menubar %1 is currently the newest version available.</source>
        <extracomment>%1 is the version installed.</extracomment>
        <translation>Vocarta Menubar %1 ist die neueste verfügbare Version.</translation>
    </message>
    <message>
        <source>Update Error!</source>
        <translation>Fehler bei der Aktualisierung!</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Updates for this copy come from your package manager.</source>
        <translation>Updates für diese Installation kommen über deine Paketverwaltung.</translation>
    </message>
    <message>
        <source>This build has no key to verify updates with.</source>
        <translation>Dieser Build hat keinen Schlüssel, um Updates zu prüfen.</translation>
    </message>
    <message>
        <source>The update feed address is not a secure address.</source>
        <translation>Die Adresse des Update-Feeds ist nicht sicher.</translation>
    </message>
    <message>
        <source>Could not read the update feed: %1.</source>
        <extracomment>%1 is the network&apos;s own description of the problem.</extracomment>
        <translation>Der Update-Feed konnte nicht gelesen werden: %1.</translation>
    </message>
    <message>
        <source>Could not read the update feed&apos;s signature: %1.</source>
        <extracomment>%1 is the network&apos;s own description of the problem.</extracomment>
        <translation>Die Signatur des Update-Feeds konnte nicht gelesen werden: %1.</translation>
    </message>
    <message>
        <source>The update feed&apos;s signature is not valid; it was ignored.</source>
        <translation>Die Signatur des Update-Feeds ist ungültig; der Feed wurde verworfen.</translation>
    </message>
    <message>
        <source>The update feed could not be read: %1.</source>
        <extracomment>%1 says what is wrong with the feed&apos;s content.</extracomment>
        <translation>Der Inhalt des Update-Feeds ist nicht lesbar: %1.</translation>
    </message>
</context>
</TS>
