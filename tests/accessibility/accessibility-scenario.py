#!/usr/bin/env python3
"""The program's windows as a screen reader and a keyboard-only user meet them.

Runs inside scripts/with-session (the AT-SPI bus is on) against the local
deployment. With the keyboard alone it goes through the first-run window
(NEXT, the link code, CONNECT, a recorded shortcut), opens the settings
window and the overlay, and in every window and state walks the
accessibility tree: an interactive item without a name or a role, or
decoration that is exposed (the scrolling words, the code's dash, the check
mark), fails the run. The overlay's announcements (the number of results, the
chosen card) are read from the tree too.

    accessibility-scenario.py BUILD_DIR WORK_DIR [LANGUAGE]

LANGUAGE (default en) is given to the program as LANGUAGE; the texts the run
looks for are that language's."""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "desktop"))
import desktop_session as ds  # noqa: E402
from desktop_session import Atspi, Failure, GLib  # noqa: E402

build, work = sys.argv[1], sys.argv[2]
language = sys.argv[3] if len(sys.argv) > 3 else "en"
bin_dir = os.path.join(build, "bin")

# The texts the run finds things by, as each language shows them.
TEXTS = {
    "en": {"auth": "Vocarta Settings", "settings": "Vocarta Menubar Settings", "overlay": "Add card", "next": "NEXT",
           "download": "DOWNLOAD IOS APP", "box1": "Code character 1", "connect": "CONNECT",
           "connected": "CONNECTED!", "empty_shortcut": "Click to set shortcut",
           "recording": "Press shortcut keys...", "account": "Account", "decks": "Decks", "field": "Word or phrase",
           "results": r"^\d+ results?$", "chosen": "Chosen card: ", "add": "ADD", "status": "Signed in"},
    "de": {"auth": "Vocarta – Einstellungen", "settings": "Vocarta Menubar – Einstellungen",
           "overlay": "Karte hinzufügen", "next": "WEITER", "download": "IOS-APP LADEN", "box1": "Codezeichen 1",
           "connect": "VERBINDEN", "connected": "VERBUNDEN!",
           "empty_shortcut": "Klicken, um ein Tastenkürzel festzulegen", "recording": "Tastenkombination drücken …",
           "account": "Konto", "decks": "Stapel", "field": "Wort oder Ausdruck", "results": r"^\d+ Ergebnisse?$",
           "chosen": "Gewählte Karte: ", "add": "HINZUFÜGEN", "status": "Angemeldet"},
    "fr": {"auth": "Paramètres de Vocarta", "settings": "Paramètres de Vocarta Menubar",
           "overlay": "Ajouter une carte", "next": "SUIVANT", "download": "TÉLÉCHARGER L’APP IOS",
           "box1": "Caractère 1 du code", "connect": "CONNECTER", "connected": "CONNECTÉ\xa0!",
           "empty_shortcut": "Cliquez pour définir un raccourci",
           "recording": "Appuyez sur les touches du raccourci…", "account": "Compte", "decks": "Paquets",
           "field": "Mot ou expression", "results": r"^\d+ résultats?$", "chosen": "Carte choisie\xa0: ",
           "add": "AJOUTER", "status": "Connecté"},
    "es": {"auth": "Ajustes de Vocarta", "settings": "Ajustes de Vocarta Menubar", "overlay": "Añadir tarjeta",
           "next": "SIGUIENTE", "download": "DESCARGAR LA APP DE IOS", "box1": "Carácter 1 del código",
           "connect": "CONECTAR", "connected": "¡CONECTADO!", "empty_shortcut": "Haz clic para definir un atajo",
           "recording": "Pulsa las teclas del atajo…", "account": "Cuenta", "decks": "Mazos",
           "field": "Palabra o frase", "results": r"^\d+ resultados?$", "chosen": "Tarjeta elegida: ",
           "add": "AÑADIR", "status": "Sesión iniciada"},
}
T = TEXTS[language]

# Roles a person acts on: each needs a name.
INTERACTIVE = {"push button", "toggle button", "check box", "radio button", "text", "entry", "list item",
               "page tab", "combo box", "slider", "spin button", "link", "menu item", "list"}
# Shown only to the eye.
DECORATION = {"apple", "journey", "river", "sunshine", "mountain", "horizon", "wonder", "twilight",
              "bonjour", "soleil", "lumière", "château", "voyage", "liberté", "rêve", "papillon",
              "language", "culture", "wisdom", "growth", "learn", "explore", "discover", "evolve",
              "\u2013", "\u2713"}
PROGRAM = ds.PROGRAM
problems = []
walked = []


def nodes(root):
    """The showing accessibles under `root`, depth first."""
    pending = [root]
    while pending:
        node = pending.pop()
        if node is None:
            continue
        try:
            if node is not root and not node.get_state_set().contains(Atspi.StateType.SHOWING):
                continue
            yield node
            pending.extend(node.get_child_at_index(i) for i in reversed(range(node.get_child_count())))
        except GLib.Error:
            continue


def window(title):
    return ds.find(PROGRAM, lambda n: n.get_role_name() in ("frame", "window", "dialog") and n.get_name() == title)


def walk(title, state):
    """Checks the tree of the window `title` in `state`; the problems are kept for the end."""
    root = ds.wait_for(f"window {title!r}", lambda: window(title))
    root.clear_cache()
    found = 0
    for node in nodes(root):
        role, name = node.get_role_name(), (node.get_name() or "").strip()
        text = (ds.text_of(node) or "").strip() if role in ("label", "static") else ""
        states = node.get_state_set()
        if role in INTERACTIVE and not name:
            problems.append(f"{state}: a {role} without a name")
        if role in ("unknown", "invalid", "filler") and states.contains(Atspi.StateType.FOCUSABLE):
            problems.append(f"{state}: a focusable item without a role ({name!r})")
        if name in DECORATION or text in DECORATION:
            problems.append(f"{state}: decoration exposed as {role} {name or text!r}")
        found += 1
    walked.append(state)
    ds.say(f"{state}: {found} accessibles")


def shot(name):
    """The screen as the person sees it, kept beside the logs."""
    subprocess.run(["import", "-window", "root", os.path.join(work, f"{name}.png")], timeout=30, check=False)


def named(name, role=None):
    return ds.find(PROGRAM, lambda n: n.get_name() == name and (role is None or n.get_role_name() == role))


def focused():
    """Where the keyboard is: the focused item of the active window (each
    window keeps its own)."""
    for app in ds.applications(PROGRAM):
        for i in range(app.get_child_count()):
            top = app.get_child_at_index(i)
            try:
                if top is None or not top.get_state_set().contains(Atspi.StateType.ACTIVE):
                    continue
            except GLib.Error:
                continue
            # A focus scope (the tab bar) is focused with the item in it: the innermost counts.
            inner = None
            for node in nodes(top):
                if node.get_state_set().contains(Atspi.StateType.FOCUSED):
                    inner = node
            return inner
    return None


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "80", *keys], check=True, timeout=20)


def focus_name():
    node = focused()
    return None if node is None else (node.get_role_name(), node.get_name())


def tab_to(name, limit=16):
    """Tab until the keyboard is on `name`: the reading order reaches it."""
    for _ in range(limit):
        before = focus_name()
        if before is not None and before[1] == name:
            return
        key("Tab")
        ds.wait_for("focus to move on Tab", lambda: focus_name() not in (None, before), limit=10)
    raise Failure(f"Tab never reached {name!r}; focus on {focus_name()!r}")


def shortcut_stored():
    settings = os.path.join(os.environ["XDG_CONFIG_HOME"], "vocarta")
    for folder, _, files in os.walk(settings):
        for file in files:
            with open(os.path.join(folder, file), errors="replace") as f:
                if "shortcutKeyCombo" in f.read():
                    return True
    return False


def announcement():
    node = ds.find(PROGRAM, lambda n: n.get_role_name() == "notification")
    return node.get_name() if node is not None else ""


def scenario():
    ds.configure("a11y-" + language, work, LANGUAGE=language, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    data = os.path.join(work, "state.json")
    for stale in (data, data + ".lock"):
        if os.path.exists(stale):
            os.remove(stale)
    ds.start("devserver", [os.path.join(bin_dir, "vocarta-devserver"), "--port", "0", "--data", data,
                           "--print-link-code"])
    log = os.path.join(work, "devserver.log")
    url = ds.wait_for("the deployment's address", lambda: re.search(
        r"listening on (http:\S+)", open(log).read()))[1]
    code = ds.wait_for("a link code", lambda: re.search(r"^link code: (\S+)$", open(log).read(), re.M))[1]
    program = [os.path.join(bin_dir, "vocarta-menubar")]
    ds.start("program", program, VOCARTA_DEPLOYMENT_URL=url, VOCARTA_TRAY_WAIT_MS="1000")

    # First run, keyboard alone: Tab to NEXT (Shift+Tab comes back), Return; the code; CONNECT.
    walk(T["auth"], "first-run page")
    shot("first-run")
    tab_to(T["next"])
    key("Tab")
    ds.wait_for("Tab on to the download button", lambda: focus_name() == ("push button", T["download"]))
    key("shift+Tab")
    ds.wait_for("Shift+Tab back on NEXT", lambda: focus_name() == ("push button", T["next"]))
    key("Return")
    ds.wait_for("the link-code page", lambda: named(T["box1"]))
    walk(T["auth"], "link-code page")
    ds.wait_for("the first code box focused", lambda: focused() is not None
                and focused().get_name() == T["box1"])
    subprocess.run(["xdotool", "type", "--delay", "80", code.replace("-", "")], check=True, timeout=30)
    tab_to(T["connect"])
    key("space")
    ds.wait_for("the linked state", lambda: named(T["connected"]), limit=60)
    walk(T["auth"], "linked page")

    # The recorder: Tab to it, Space, the combination.
    tab_to(T["empty_shortcut"])
    key("space")
    ds.wait_for("recording", lambda: named(T["recording"]))
    key("ctrl+alt+k")
    ds.wait_for("a recorded shortcut", shortcut_stored)
    ds.wait_for("the recorder to show it", lambda: focused() is not None
                and focused().get_name() not in (T["recording"], T["empty_shortcut"]))
    walk(T["auth"], "recorded shortcut")

    # The settings window, both tabs.
    subprocess.run(program + ["--preferences"], check=True, timeout=30)
    walk(T["settings"], "settings: account")
    ds.wait_for("the sign-in status", lambda: named(T["status"]))
    tab_to(T["decks"])
    key("space")
    ds.wait_for("the deck list", lambda: named(T["decks"], "list"))
    walk(T["settings"], "settings: decks")
    key("Escape")
    ds.wait_for("Escape to close the settings window", lambda: window(T["settings"]) is None)

    # The overlay: a word typed, the results, a candidate chosen.
    subprocess.run(program + ["--capture"], check=True, timeout=30)
    ds.wait_for("the overlay's field focused", lambda: focused() is not None
                and focused().get_name() == T["field"], limit=60)
    walk(T["overlay"], "overlay: input")
    subprocess.run(["xdotool", "type", "--delay", "80", "friend"], check=True, timeout=30)
    key("Return")
    ds.wait_for("the number of results announced", lambda: re.match(T["results"], announcement()), limit=60)
    walk(T["overlay"], "overlay: results")
    shot("overlay-results")
    key("Down", "Return")
    ds.wait_for("the chosen card announced", lambda: announcement().startswith(T["chosen"]))
    ds.wait_for("ADD", lambda: named(T["add"], "push button"))
    walk(T["overlay"], "overlay: card")
    shot("overlay-card")
    key("Escape")

    if problems:
        raise Failure("\n  " + "\n  ".join(problems))
    ds.say(f"{len(walked)} states walked; every interactive item has a name and a role, no decoration shows")


def report():
    return ds.dump(PROGRAM)


sys.exit(ds.run(scenario, report))
