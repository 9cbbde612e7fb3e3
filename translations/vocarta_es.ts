<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>AddCardAddButton</name>
    <message>
        <source>ADD</source>
        <extracomment>The button that saves the chosen translation as a card in the active deck; a short verb in capitals.</extracomment>
        <translation>AÑADIR</translation>
    </message>
    <message>
        <source>Saving...</source>
        <translation>Guardando…</translation>
    </message>
    <message>
        <source>Adds the card to the active deck.</source>
        <translation>Añade la tarjeta al mazo activo.</translation>
    </message>
</context>
<context>
    <name>AddCardOverlayContent</name>
    <message>
        <source>Not signed in — choose “%1” in the menu.</source>
        <extracomment>Shown in the overlay; %1 is the tray menu&apos;s item that links this computer (&quot;Sign In...&quot;).</extracomment>
        <translation>No has iniciado sesión: elige «%1» en el menú.</translation>
    </message>
</context>
<context>
    <name>AddCardOverlayView</name>
    <message>
        <source>Word or phrase</source>
        <translation>Palabra o frase</translation>
    </message>
    <message>
        <source>Add your word or phrase</source>
        <translation>Escribe tu palabra o frase</translation>
    </message>
    <message>
        <source>Translating...</source>
        <translation>Traduciendo…</translation>
    </message>
    <message numerus="yes">
        <source>%n result(s)</source>
        <extracomment>Told to a screen reader when the candidates appear.</extracomment>
        <translation>
            <numerusform>%n resultado</numerusform>
            <numerusform>%n resultados</numerusform>
        </translation>
    </message>
    <message>
        <source>Chosen card: %1, %2</source>
        <extracomment>Told to a screen reader when a candidate is chosen; %1 is the word, %2 its translation.</extracomment>
        <translation>Tarjeta elegida: %1, %2</translation>
    </message>
    <message>
        <source>Result %1 of %2</source>
        <extracomment>Screen reader description of a candidate; %1 is its place in the list, %2 how many there are.</extracomment>
        <translation>Resultado %1 de %2</translation>
    </message>
</context>
<context>
    <name>AddCardPanelController</name>
    <message>
        <source>Add card</source>
        <extracomment>Title of the overlay window, as the window list and screen readers name it.</extracomment>
        <translation>Añadir tarjeta</translation>
    </message>
</context>
<context>
    <name>AddCardResultCard</name>
    <message>
        <source>Card: %1, %2</source>
        <extracomment>Screen reader name of the chosen card; %1 is the word, %2 its translation.</extracomment>
        <translation>Tarjeta: %1, %2</translation>
    </message>
</context>
<context>
    <name>AuthManager</name>
    <message>
        <source>Invalid or expired code. Generate a new one in the iOS app.</source>
        <translation>Código no válido o caducado. Genera uno nuevo en la app de iOS.</translation>
    </message>
    <message>
        <source>Sign-in failed.</source>
        <translation>Error al iniciar sesión.</translation>
    </message>
</context>
<context>
    <name>AuthWindow</name>
    <message>
        <source>Vocarta Settings</source>
        <translation>Ajustes de Vocarta</translation>
    </message>
</context>
<context>
    <name>ConvexError</name>
    <message>
        <source>Auth failed: %1</source>
        <extracomment>%1 is the reason, as the service or the program&apos;s sign-in gave it (not translated).</extracomment>
        <translation>Error de autenticación: %1</translation>
    </message>
    <message>
        <source>Network error: %1</source>
        <extracomment>%1 is the network&apos;s own description of the problem (not translated).</extracomment>
        <translation>Error de red: %1</translation>
    </message>
    <message>
        <source>Server error (%1): %2</source>
        <extracomment>%1 is the HTTP status code, %2 the service&apos;s own message (not translated).</extracomment>
        <translation>Error del servidor (%1): %2</translation>
    </message>
</context>
<context>
    <name>LinkCodeBox</name>
    <message>
        <source>Code character %1</source>
        <extracomment>Screen reader name of one of the eight boxes of the link code; %1 is its position, 1 to 8.</extracomment>
        <translation>Carácter %1 del código</translation>
    </message>
</context>
<context>
    <name>LinkCodeSectionHeader</name>
    <message>
        <source>Expanded</source>
        <translation>Desplegado</translation>
    </message>
    <message>
        <source>Collapsed</source>
        <translation>Plegado</translation>
    </message>
</context>
<context>
    <name>LinkCodeView</name>
    <message>
        <source>CONNECT TO VOCARTA</source>
        <extracomment>Section title in capitals: linking this computer to the phone app.</extracomment>
        <translation>CONECTAR CON VOCARTA</translation>
    </message>
    <message>
        <source>Open the iOS app → Settings → Mac App and enter the code below.</source>
        <translation>Abre la app de iOS → Ajustes → Mac App e introduce el código de abajo.</translation>
    </message>
    <message>
        <source>CONNECT</source>
        <extracomment>Button in capitals that sends the typed link code.</extracomment>
        <translation>CONECTAR</translation>
    </message>
    <message>
        <source>CONNECTED!</source>
        <extracomment>Shown in capitals once this computer is linked to the phone app.</extracomment>
        <translation>¡CONECTADO!</translation>
    </message>
    <message>
        <source>Your computer is linked to the iOS app.</source>
        <translation>Tu ordenador está vinculado a la app de iOS.</translation>
    </message>
    <message>
        <source>RELINK</source>
        <extracomment>Button in capitals: sign out and link this computer again with a new code.</extracomment>
        <translation>VOLVER A VINCULAR</translation>
    </message>
    <message>
        <source>ADD CARD SHORTCUT</source>
        <extracomment>Section title in capitals: the global keyboard shortcut that opens the Add Card overlay.</extracomment>
        <translation>ATAJO PARA AÑADIR TARJETAS</translation>
    </message>
    <message>
        <source>Set a global keyboard shortcut to open the Add Card overlay from anywhere on your computer.</source>
        <translation>Define un atajo de teclado global para abrir «Añadir tarjeta» desde cualquier lugar de tu ordenador.</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Conectando…</translation>
    </message>
    <message>
        <source>Signs out and links this computer again with a new code.</source>
        <translation>Cierra la sesión y vuelve a vincular este ordenador con un código nuevo.</translation>
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
        <translation>Aprende palabras nuevas cada día</translation>
    </message>
    <message>
        <source>This is a companion app for the Vocarta iOS app.</source>
        <translation>Esta app acompaña a la app Vocarta para iOS.</translation>
    </message>
    <message>
        <source>NEXT</source>
        <extracomment>Button in capitals that goes on to the next page of the first-run window.</extracomment>
        <translation>SIGUIENTE</translation>
    </message>
    <message>
        <source>DOWNLOAD IOS APP</source>
        <extracomment>Button in capitals that opens the phone app&apos;s download page in the browser.</extracomment>
        <translation>DESCARGAR LA APP DE IOS</translation>
    </message>
</context>
<context>
    <name>PlatformError</name>
    <message>
        <source>The operation was cancelled.</source>
        <translation>Se ha cancelado la operación.</translation>
    </message>
    <message>
        <source>Sign in with Apple is not available on this system.</source>
        <translation>«Iniciar sesión con Apple» no está disponible en este sistema.</translation>
    </message>
    <message>
        <source>The web browser could not be opened.</source>
        <translation>No se ha podido abrir el navegador web.</translation>
    </message>
</context>
<context>
    <name>PortalHotKeyService</name>
    <message>
        <source>Add a card from the selected text</source>
        <extracomment>The shortcut&apos;s description in the desktop&apos;s own shortcut settings.</extracomment>
        <translation>Añadir una tarjeta a partir del texto seleccionado</translation>
    </message>
</context>
<context>
    <name>SettingsAccountTab</name>
    <message>
        <source>Status</source>
        <extracomment>Label of the sign-in status row in the settings window.</extracomment>
        <translation>Estado</translation>
    </message>
    <message>
        <source>Signed in</source>
        <translation>Sesión iniciada</translation>
    </message>
    <message>
        <source>Not signed in</source>
        <translation>Sin iniciar sesión</translation>
    </message>
    <message>
        <source>Account</source>
        <extracomment>Label of the row that shows the e-mail address of the signed-in account.</extracomment>
        <translation>Cuenta</translation>
    </message>
    <message>
        <source>Sign Out</source>
        <translation>Cerrar sesión</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Abrir al iniciar sesión</translation>
    </message>
</context>
<context>
    <name>SettingsDecksTab</name>
    <message>
        <source>No decks found</source>
        <translation>No se han encontrado mazos</translation>
    </message>
    <message>
        <source>Decks</source>
        <extracomment>Screen reader name of the list of decks in the settings window.</extracomment>
        <translation>Mazos</translation>
    </message>
    <message>
        <source>Loading decks...</source>
        <translation>Cargando mazos…</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Account</source>
        <extracomment>Tab of the settings window: the sign-in status and account.</extracomment>
        <translation>Cuenta</translation>
    </message>
    <message>
        <source>Decks</source>
        <extracomment>Tab of the settings window: the list of decks to choose the active one from.</extracomment>
        <translation>Mazos</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Vocarta Menubar Settings</source>
        <translation>Ajustes de Vocarta Menubar</translation>
    </message>
</context>
<context>
    <name>ShortcutRecorderView</name>
    <message>
        <source>Press shortcut keys...</source>
        <translation>Pulsa las teclas del atajo…</translation>
    </message>
    <message>
        <source>Click to set shortcut</source>
        <translation>Haz clic para definir un atajo</translation>
    </message>
    <message>
        <source>Clear shortcut</source>
        <translation>Borrar el atajo</translation>
    </message>
    <message>
        <source>This shortcut is reserved by the system.</source>
        <translation>El sistema tiene reservado este atajo.</translation>
    </message>
    <message>
        <source>The global shortcut that opens the Add Card overlay. Press Space to record a new one.</source>
        <translation>El atajo global que abre «Añadir tarjeta». Pulsa Espacio para grabar uno nuevo.</translation>
    </message>
</context>
<context>
    <name>SystemHotKeyService</name>
    <message>
        <source>System Settings › Shortcuts (add a new command)</source>
        <extracomment>Where KDE Plasma binds commands to keys; use the names of Plasma&apos;s own settings in your language.</extracomment>
        <translation>Preferencias del sistema › Accesos rápidos (añadir una orden nueva)</translation>
    </message>
    <message>
        <source>Settings › Keyboard › View and Customize Shortcuts › Custom Shortcuts</source>
        <extracomment>Where GNOME binds commands to keys; use the names of GNOME&apos;s own settings in your language.</extracomment>
        <translation>Configuración › Teclado › Ver y personalizar los atajos › Atajos personalizados</translation>
    </message>
    <message>
        <source>Settings › Keyboard › Application Shortcuts</source>
        <extracomment>Where Xfce binds commands to keys; use the names of Xfce&apos;s own settings in your language.</extracomment>
        <translation>Configuración › Teclado › Atajos de aplicaciones</translation>
    </message>
    <message>
        <source>your desktop&apos;s keyboard shortcut settings</source>
        <extracomment>Completes &quot;bind the command %1 to a key in %2&quot; on an unknown desktop.</extracomment>
        <translation>la configuración de atajos de teclado de tu escritorio</translation>
    </message>
    <message>
        <source>This desktop does not let programs set a global shortcut. To open the Add Card overlay from any application, bind the command %1 to a key in %2.</source>
        <extracomment>%1 is the command to bind, %2 where the desktop&apos;s settings do that.</extracomment>
        <translation>Este escritorio no permite que los programas definan un atajo global. Para abrir «Añadir tarjeta» desde cualquier aplicación, asigna la orden %1 a una tecla en %2.</translation>
    </message>
    <message>
        <source>The desktop did not set up this shortcut: %1. Record it again, or bind the command %2 to a key in %3.</source>
        <extracomment>%1 is the desktop&apos;s own reason (not translated), %2 the command to bind, %3 where the desktop&apos;s settings do that.</extracomment>
        <translation>El escritorio no ha configurado este atajo: %1. Vuelve a grabarlo o asigna la orden %2 a una tecla en %3.</translation>
    </message>
</context>
<context>
    <name>TrayMenu</name>
    <message>
        <source>No active deck — create one first to add cards.</source>
        <translation>No hay ningún mazo activo: crea uno primero para añadir tarjetas.</translation>
    </message>
    <message>
        <source>Sign In...</source>
        <extracomment>Tray menu item that opens the window to link this computer.</extracomment>
        <translation>Iniciar sesión…</translation>
    </message>
    <message>
        <source>Active: %1</source>
        <extracomment>First line of the tray menu; %1 is the active deck&apos;s name as the user wrote it.</extracomment>
        <translation>Activo: %1</translation>
    </message>
    <message>
        <source>Loading decks...</source>
        <translation>Cargando mazos…</translation>
    </message>
    <message>
        <source>Quit Vocarta Menubar</source>
        <translation>Salir de Vocarta Menubar</translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation>Actualizando…</translation>
    </message>
    <message>
        <source>Refresh Decks</source>
        <translation>Actualizar mazos</translation>
    </message>
    <message>
        <source>Add Card...</source>
        <translation>Añadir tarjeta…</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Ajustes…</translation>
    </message>
    <message>
        <source>Updates Come from the Package Manager</source>
        <translation>Las actualizaciones llegan por el gestor de paquetes</translation>
    </message>
    <message>
        <source>Check for Updates...</source>
        <translation>Buscar actualizaciones…</translation>
    </message>
    <message>
        <source>Relink...</source>
        <extracomment>Tray menu item: sign out and link this computer again with a new code.</extracomment>
        <translation>Volver a vincular…</translation>
    </message>
</context>
<context>
    <name>UpdateDialog</name>
    <message>
        <source>Software Update</source>
        <translation>Actualización de software</translation>
    </message>
    <message>
        <source>A new version of Vocarta Menubar is available!</source>
        <translation>¡Hay una nueva versión de Vocarta Menubar!</translation>
    </message>
    <message>
        <source>Vocarta Menubar %1 is now available; you have %2.</source>
        <extracomment>%1 is the new version, %2 the version installed.</extracomment>
        <translation>Vocarta Menubar %1 ya está disponible; tienes la %2.</translation>
    </message>
    <message>
        <source>Download...</source>
        <translation>Descargar…</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Más tarde</translation>
    </message>
    <message>
        <source>You&apos;re up to date!</source>
        <translation>¡Lo tienes todo al día!</translation>
    </message>
    <message>
        <source>Vocarta Menubar %1 is currently the newest version available.</source>
        <extracomment>%1 is the version installed.</extracomment>
        <translation>Vocarta Menubar %1 es la versión más reciente disponible.</translation>
    </message>
    <message>
        <source>Update Error!</source>
        <translation>¡Error de actualización!</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Updates for this copy come from your package manager.</source>
        <translation>Las actualizaciones de esta copia llegan por tu gestor de paquetes.</translation>
    </message>
    <message>
        <source>This build has no key to verify updates with.</source>
        <translation>Esta compilación no tiene ninguna clave para verificar las actualizaciones.</translation>
    </message>
    <message>
        <source>The update feed address is not a secure address.</source>
        <translation>La dirección del canal de actualizaciones no es segura.</translation>
    </message>
    <message>
        <source>Could not read the update feed: %1.</source>
        <extracomment>%1 is the network&apos;s own description of the problem.</extracomment>
        <translation>No se ha podido leer el canal de actualizaciones: %1.</translation>
    </message>
    <message>
        <source>Could not read the update feed&apos;s signature: %1.</source>
        <extracomment>%1 is the network&apos;s own description of the problem.</extracomment>
        <translation>No se ha podido leer la firma del canal de actualizaciones: %1.</translation>
    </message>
    <message>
        <source>The update feed&apos;s signature is not valid; it was ignored.</source>
        <translation>La firma del canal de actualizaciones no es válida; se ha descartado.</translation>
    </message>
    <message>
        <source>The update feed could not be read: %1.</source>
        <extracomment>%1 says what is wrong with the feed&apos;s content.</extracomment>
        <translation>El contenido del canal de actualizaciones no se puede leer: %1.</translation>
    </message>
</context>
</TS>
