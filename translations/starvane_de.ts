<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Starvane::AboutView</name>
    <message>
        <source>About Starvane</source>
        <translation>Über Starvane</translation>
    </message>
    <message>
        <source>Version, licence and where the pictures come from</source>
        <translation>Version, Lizenz und Herkunft der Bilder</translation>
    </message>
    <message>
        <source>Starvane&apos;s icon</source>
        <translation>Symbol von Starvane</translation>
    </message>
    <message>
        <source>Version %1</source>
        <extracomment>%1 is a version number such as 1.0.0</extracomment>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>Wallpapers shipped from Hubble Telescope: real high-resolution photographs from the ESA/Hubble archive on your desktop.</source>
        <translation>Hintergrundbilder direkt vom Hubble-Teleskop: echte hochauflösende Aufnahmen aus dem ESA/Hubble-Archiv auf Ihrem Desktop.</translation>
    </message>
    <message>
        <source>Images: ESA/Hubble, under CC BY 4.0</source>
        <translation>Bilder: ESA/Hubble, unter CC BY 4.0</translation>
    </message>
    <message>
        <source>ESA/Hubble images</source>
        <extracomment>Link to the picture archive; the archive&apos;s name, usually left as it is</extracomment>
        <translation>ESA/Hubble-Bilder</translation>
    </message>
    <message>
        <source>Open the ESA/Hubble image archive in the web browser</source>
        <translation>Das Bildarchiv von ESA/Hubble im Webbrowser öffnen</translation>
    </message>
    <message>
        <source>CC BY 4.0</source>
        <translation>CC BY 4.0</translation>
    </message>
    <message>
        <source>Open the Creative Commons Attribution 4.0 licence in the web browser</source>
        <translation>Die Lizenz Creative Commons Namensnennung 4.0 im Webbrowser öffnen</translation>
    </message>
    <message>
        <source>Starvane is free software under the GNU General Public License, version 3 or later.</source>
        <translation>Starvane ist freie Software unter der GNU General Public License, Version 3 oder später.</translation>
    </message>
    <message>
        <source>GNU GPL 3.0</source>
        <translation>GNU GPL 3.0</translation>
    </message>
    <message>
        <source>Open the GNU General Public License in the web browser</source>
        <translation>Die GNU General Public License im Webbrowser öffnen</translation>
    </message>
    <message>
        <source>Built with Qt %1</source>
        <translation>Erstellt mit Qt %1</translation>
    </message>
    <message>
        <source>Built with Qt %1, running on Qt %2</source>
        <translation>Erstellt mit Qt %1, läuft mit Qt %2</translation>
    </message>
    <message>
        <source>Close this window</source>
        <translation>Dieses Fenster schließen</translation>
    </message>
</context>
<context>
    <name>Starvane::ChangeFrequency</name>
    <message>
        <source>Manual only</source>
        <translation>Nur manuell</translation>
    </message>
    <message>
        <source>Every 5 minutes</source>
        <translation>Alle 5 Minuten</translation>
    </message>
    <message>
        <source>Every 15 minutes</source>
        <translation>Alle 15 Minuten</translation>
    </message>
    <message>
        <source>Every hour</source>
        <translation>Stündlich</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>Täglich</translation>
    </message>
</context>
<context>
    <name>Starvane::ChangeFrequencyShort</name>
    <message>
        <source>Manual</source>
        <translation>manuell</translation>
    </message>
    <message>
        <source>5 min</source>
        <translation>5 Min.</translation>
    </message>
    <message>
        <source>15 min</source>
        <translation>15 Min.</translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation>stündlich</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>täglich</translation>
    </message>
</context>
<context>
    <name>Starvane::CommandLine</name>
    <message>
        <source>unknown command &apos;%1&apos;</source>
        <translation>unbekannter Befehl „%1“</translation>
    </message>
    <message>
        <source>&apos;%1&apos; takes no arguments</source>
        <translation>„%1“ erwartet keine Argumente</translation>
    </message>
    <message>
        <source>&apos;frequency&apos; needs one of: manual, 5m, 15m, hourly, daily</source>
        <translation>„frequency“ erwartet eines von: manual, 5m, 15m, hourly, daily</translation>
    </message>
    <message>
        <source>&apos;displays&apos; needs one of: all, main, each</source>
        <translation>„displays“ erwartet eines von: all, main, each</translation>
    </message>
    <message>
        <source>&apos;check-image&apos; needs at least one file</source>
        <translation>„check-image“ erwartet mindestens eine Datei</translation>
    </message>
    <message>
        <source>Starvane is not running. Start it with: starvane</source>
        <translation>Starvane läuft nicht. Starten mit: starvane</translation>
    </message>
    <message>
        <source>this command is not sent to the running instance</source>
        <translation>dieser Befehl wird nicht an die laufende Instanz gesendet</translation>
    </message>
    <message>
        <source>the running instance did not answer: %1</source>
        <translation>die laufende Instanz hat nicht geantwortet: %1</translation>
    </message>
    <message>
        <source>Changing the wallpaper…</source>
        <translation>Hintergrundbild wird gewechselt …</translation>
    </message>
    <message>
        <source>running without command-line control; &apos;starvane next&apos;, &apos;status&apos; and the like will not reach this instance</source>
        <translation>läuft ohne Steuerung über die Befehlszeile; „starvane next“, „status“ und Ähnliches erreichen diese Instanz nicht</translation>
    </message>
    <message>
        <source>&apos;%1&apos; takes no arguments but --json</source>
        <translation>„%1“ erwartet keine Argumente außer --json</translation>
    </message>
    <message>
        <source>Going back to the previous wallpaper…</source>
        <translation>Zurück zum vorherigen Hintergrundbild …</translation>
    </message>
    <message>
        <source>Kept as %1</source>
        <translation>Behalten als %1</translation>
    </message>
    <message>
        <source>No longer kept</source>
        <translation>Nicht mehr behalten</translation>
    </message>
    <message>
        <source>[kept]</source>
        <translation>[behalten]</translation>
    </message>
    <message>
        <source>[never again]</source>
        <translation>[nie wieder]</translation>
    </message>
    <message>
        <source>&apos;history show&apos; needs a line number of &apos;starvane history&apos; (1 is the newest) or a wallpaper&apos;s id</source>
        <translation>&apos;history show&apos; braucht eine Zeilennummer von &apos;starvane history&apos; (1 ist die neueste) oder die Kennung eines Hintergrundbilds</translation>
    </message>
    <message>
        <source>&apos;allow-again&apos; needs the id of a wallpaper (see &apos;starvane history&apos;)</source>
        <translation>&apos;allow-again&apos; braucht die Kennung eines Hintergrundbilds (siehe &apos;starvane history&apos;)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; needs one of: on, off</source>
        <translation>&apos;%1&apos; braucht eines von: on, off</translation>
    </message>
    <message>
        <source>The wallpaper now changes only among the kept pictures.</source>
        <translation>Das Hintergrundbild wechselt jetzt nur noch unter den behaltenen Bildern.</translation>
    </message>
    <message>
        <source>The wallpaper now changes among all pictures of the archive.</source>
        <translation>Das Hintergrundbild wechselt jetzt unter allen Bildern des Archivs.</translation>
    </message>
    <message>
        <source>Save data is on: downloads are only as large as the largest display needs.</source>
        <translation>Datensparen ist an: Downloads sind nur so groß, wie der größte Bildschirm braucht.</translation>
    </message>
    <message>
        <source>Save data is off: downloads take the best file.</source>
        <translation>Datensparen ist aus: Downloads nehmen die beste Datei.</translation>
    </message>
    <message>
        <source>Automatic changes download on metered connections too.</source>
        <translation>Automatische Wechsel laden auch über getaktete Verbindungen herunter.</translation>
    </message>
    <message>
        <source>On metered connections, automatic changes show saved pictures.</source>
        <translation>Über getaktete Verbindungen zeigen automatische Wechsel gespeicherte Bilder.</translation>
    </message>
    <message>
        <source>Each new wallpaper is announced with a notification.</source>
        <translation>Jedes neue Hintergrundbild wird mit einer Benachrichtigung angekündigt.</translation>
    </message>
    <message>
        <source>New wallpapers are no longer announced.</source>
        <translation>Neue Hintergrundbilder werden nicht mehr angekündigt.</translation>
    </message>
    <message>
        <source>Showing that wallpaper again…</source>
        <translation>Dieses Hintergrundbild wird wieder gezeigt…</translation>
    </message>
    <message>
        <source>%1 may be shown again.</source>
        <translation>%1 darf wieder gezeigt werden.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; takes no arguments but --display NAME (a name of &apos;starvane status --json&apos;)</source>
        <translation>„%1“ nimmt keine Argumente außer --display NAME (ein Name aus „starvane status --json“)</translation>
    </message>
    <message>
        <source>Usage: starvane [COMMAND]

Keeps the desktop supplied with photographs from the ESA/Hubble archive.
Without a command, starts Starvane (or shows the window of the one already running).

Commands (sent to the running Starvane):
  next                 change the wallpaper now
  previous             go back to the wallpaper shown before
  keep [--display NAME] keep the wallpaper in the Pictures folder
  unkeep               no longer keep the wallpaper
  never-again          never show the wallpaper again, and change it now
  history [--json]     list the wallpapers shown lately, newest first
  history show N|ID    show again the wallpaper of line N of &apos;history&apos; (1: the newest), or by its id
  allow-again ID       let a wallpaper marked never-again come back
  only-kept on|off     change only among the kept wallpapers, or among all
  pause                pause automatic changes
  resume               resume automatic changes
  status [--json]      print the current wallpaper, schedule and any error
                       (--json: one JSON object, for scripts)
  frequency WHEN       change how often: manual, 5m, 15m, hourly or daily
  displays WHICH       change which displays: all, main or each (a picture of its own on each)
  lock-screen on|off   also use the pictures for the lock screen, or stop
  save-data on|off     download only what the largest display needs, or the best file
  metered on|off       download on metered connections too, or show saved pictures there
  notify on|off        announce each new wallpaper with a notification, or not
  caption on|off       show the picture&apos;s title and credit on the wallpaper, or not
  dim-in-dark on|off   dim the wallpaper while the desktop&apos;s style is dark, or not
  show                 open the Starvane window
  quit                 quit Starvane

  check-image FILE...  check image files as Starvane&apos;s cache would and say why one is refused

Options:
  -h, --help           show this help
  -v, --version        show the version
</source>
        <extracomment>The command and option words (next, --json, manual, 5m…) are typed as they are: keep them, and keep the descriptions lined up in one column.</extracomment>
        <translation>Aufruf: starvane [BEFEHL]

Versorgt den Desktop mit Aufnahmen aus dem ESA/Hubble-Archiv.
Ohne Befehl startet Starvane (oder zeigt das Fenster der bereits laufenden Instanz).

Befehle (an das laufende Starvane gesendet):
  next                 Hintergrundbild jetzt wechseln
  previous             zum zuvor gezeigten Hintergrundbild zurückgehen
  keep [--display NAME] Hintergrundbild im Bilder-Ordner behalten
  unkeep               Hintergrundbild nicht mehr behalten
  never-again          Hintergrundbild nie wieder zeigen und jetzt wechseln
  history [--json]     die zuletzt gezeigten Hintergrundbilder auflisten, neueste zuerst
  history show N|ID    das Hintergrundbild aus Zeile N von &apos;history&apos; (1: das neueste) oder mit dieser Kennung wieder zeigen
  allow-again ID       ein nie-wieder-Hintergrundbild wieder zulassen
  only-kept on|off     nur unter den behaltenen Hintergrundbildern wechseln, oder unter allen
  pause                automatischen Wechsel anhalten
  resume               automatischen Wechsel fortsetzen
  status [--json]      aktuelles Bild, Zeitplan und etwaige Fehler ausgeben
                       (--json: ein JSON-Objekt, für Skripte)
  frequency WHEN       Wechselintervall ändern: manual, 5m, 15m, hourly oder daily
  displays WHICH       Bildschirme wählen: all, main oder each (jeder sein eigenes Bild)
  lock-screen on|off   die Bilder auch für den Sperrbildschirm verwenden, oder nicht mehr
  save-data on|off     nur so viel herunterladen, wie der größte Bildschirm braucht, oder die beste Datei
  metered on|off       auch über getaktete Verbindungen herunterladen, oder dort gespeicherte Bilder zeigen
  notify on|off        jedes neue Hintergrundbild mit einer Benachrichtigung ankündigen, oder nicht
  caption on|off       Titel und Bildnachweis auf dem Hintergrundbild zeigen, oder nicht
  dim-in-dark on|off   das Hintergrundbild im dunklen Stil abdunkeln, oder nicht
  show                 das Starvane-Fenster öffnen
  quit                 Starvane beenden

  check-image FILE...  Bilddateien wie der Starvane-Cache prüfen und Ablehnungen begründen

Optionen:
  -h, --help           diese Hilfe anzeigen
  -v, --version        Version anzeigen
</translation>
    </message>
    <message>
        <source>The wallpaper shows the picture&apos;s title and credit.</source>
        <translation>Das Hintergrundbild zeigt Titel und Bildnachweis des Bildes.</translation>
    </message>
    <message>
        <source>The wallpaper shows the picture alone.</source>
        <translation>Das Hintergrundbild zeigt nur das Bild.</translation>
    </message>
    <message>
        <source>The wallpaper is dimmed while the desktop&apos;s style is dark.</source>
        <translation>Das Hintergrundbild wird abgedunkelt, solange der Desktop dunkel dargestellt wird.</translation>
    </message>
    <message>
        <source>The wallpaper keeps its brightness in the dark style.</source>
        <translation>Das Hintergrundbild behält im dunklen Stil seine Helligkeit.</translation>
    </message>
</context>
<context>
    <name>Starvane::ContentView</name>
    <message>
        <source>Wallpapers shipped from Hubble Telescope</source>
        <translation>Hintergrundbilder direkt vom Hubble-Teleskop</translation>
    </message>
    <message>
        <source>Fetching…</source>
        <translation>Wird geladen …</translation>
    </message>
    <message>
        <source>Next Wallpaper</source>
        <translation>Nächstes Hintergrundbild</translation>
    </message>
    <message>
        <source>A new wallpaper is being fetched from the ESA/Hubble archive</source>
        <translation>Ein neues Hintergrundbild wird aus dem ESA/Hubble-Archiv geladen</translation>
    </message>
    <message>
        <source>Fetch and apply a new wallpaper now</source>
        <translation>Jetzt ein neues Hintergrundbild laden und festlegen</translation>
    </message>
    <message>
        <source>Resume</source>
        <extracomment>Button: resume automatic wallpaper changes</extracomment>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Pause</source>
        <comment>automatic changes</comment>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Resume changing the wallpaper on schedule</source>
        <translation>Hintergrundbild wieder nach Zeitplan wechseln</translation>
    </message>
    <message>
        <source>Stop changing the wallpaper on schedule until resumed</source>
        <translation>Den Wechsel nach Zeitplan anhalten, bis er fortgesetzt wird</translation>
    </message>
    <message>
        <source>Scheduled every 5 minutes</source>
        <translation>Wechsel alle 5 Minuten geplant</translation>
    </message>
    <message>
        <source>Scheduled every 15 minutes</source>
        <translation>Wechsel alle 15 Minuten geplant</translation>
    </message>
    <message>
        <source>Scheduled every hour</source>
        <translation>Stündlicher Wechsel geplant</translation>
    </message>
    <message>
        <source>Scheduled daily</source>
        <translation>Täglicher Wechsel geplant</translation>
    </message>
    <message>
        <source>Auto-change is off</source>
        <translation>Automatischer Wechsel ist aus</translation>
    </message>
    <message>
        <source>Auto-change is paused</source>
        <translation>Automatischer Wechsel ist angehalten</translation>
    </message>
    <message>
        <source>Changing shortly…</source>
        <translation>Wechsel in Kürze …</translation>
    </message>
    <message>
        <source>Next change %1</source>
        <extracomment>%1 is a relative time such as &quot;in 14 min.&quot;</extracomment>
        <translation>Nächster Wechsel %1</translation>
    </message>
    <message>
        <source>Waiting for a network connection</source>
        <translation>Warten auf eine Netzwerkverbindung</translation>
    </message>
    <message>
        <source>Metered connection: showing saved pictures</source>
        <translation>Getaktete Verbindung: gespeicherte Bilder werden gezeigt</translation>
    </message>
    <message>
        <source>Metered connection: waiting to download</source>
        <translation>Getaktete Verbindung: Download wartet</translation>
    </message>
    <message>
        <source>The desktop is asking whether Starvane may change the background. Answer its question to go on.</source>
        <translation>Der Desktop fragt, ob Starvane den Hintergrund ändern darf. Beantworten Sie die Frage, um fortzufahren.</translation>
    </message>
</context>
<context>
    <name>Starvane::ControlService</name>
    <message>
        <source>Wallpaper: %1 (%2)</source>
        <translation>Hintergrundbild: %1 (%2)</translation>
    </message>
    <message>
        <source>Credit: %1</source>
        <translation>Bildnachweis: %1</translation>
    </message>
    <message>
        <source>Wallpaper: none yet</source>
        <translation>Hintergrundbild: noch keines</translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation>Datei: %1</translation>
    </message>
    <message>
        <source>Status: %1</source>
        <translation>Status: %1</translation>
    </message>
    <message>
        <source>Displays: %1</source>
        <translation>Bildschirme: %1</translation>
    </message>
    <message>
        <source>Next change: %1</source>
        <translation>Nächster Wechsel: %1</translation>
    </message>
    <message>
        <source>Next change: none scheduled</source>
        <translation>Nächster Wechsel: keiner geplant</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <source>There is no earlier picture to go back to.</source>
        <translation>Es gibt kein früheres Bild, zu dem es zurückgehen könnte.</translation>
    </message>
    <message>
        <source>A change is already under way.</source>
        <translation>Ein Wechsel läuft bereits.</translation>
    </message>
    <message>
        <source>The picture on screen is not kept.</source>
        <translation>Das angezeigte Bild wird nicht behalten.</translation>
    </message>
    <message>
        <source>There is no picture on screen.</source>
        <translation>Es wird kein Bild angezeigt.</translation>
    </message>
    <message>
        <source>Display %1 (%2): %3 (%4)</source>
        <translation>Bildschirm %1 (%2): %3 (%4)</translation>
    </message>
    <message>
        <source>Display %1 (%2): none yet</source>
        <translation>Bildschirm %1 (%2): noch keines</translation>
    </message>
    <message>
        <source>Lock screen: the main display&apos;s picture</source>
        <translation>Sperrbildschirm: das Bild des Hauptbildschirms</translation>
    </message>
    <message>
        <source>The history has no entry with that number.</source>
        <translation>Der Verlauf hat keinen Eintrag mit dieser Nummer.</translation>
    </message>
    <message>
        <source>That picture is never shown again; allow it again first.</source>
        <translation>Dieses Bild wird nie wieder gezeigt; erlauben Sie es zuerst wieder.</translation>
    </message>
    <message>
        <source>That picture is on screen now.</source>
        <translation>Dieses Bild ist gerade zu sehen.</translation>
    </message>
    <message>
        <source>This picture can no longer be shown.</source>
        <translation>Dieses Bild kann nicht mehr gezeigt werden.</translation>
    </message>
    <message>
        <source>The history has no picture with that id.</source>
        <translation>Der Verlauf hat kein Bild mit dieser Kennung.</translation>
    </message>
    <message>
        <source>No picture with that id is banned.</source>
        <translation>Kein Bild mit dieser Kennung ist gesperrt.</translation>
    </message>
    <message>
        <source>No picture is kept yet: keep one first.</source>
        <translation>Noch ist kein Bild behalten: Behalten Sie zuerst eines.</translation>
    </message>
    <message>
        <source>The wallpaper changes only when asked (manual mode): there is nothing to pause.</source>
        <translation>Das Hintergrundbild wechselt nur auf Wunsch (manueller Modus): Es gibt nichts anzuhalten.</translation>
    </message>
    <message>
        <source>The wallpaper changes only when asked (manual mode): there is nothing to resume.</source>
        <translation>Das Hintergrundbild wechselt nur auf Wunsch (manueller Modus): Es gibt nichts fortzusetzen.</translation>
    </message>
    <message>
        <source>This desktop&apos;s lock screen cannot be given a picture.</source>
        <translation>Dem Sperrbildschirm dieses Desktops kann kein Bild gegeben werden.</translation>
    </message>
    <message>
        <source>No display of that name is connected.</source>
        <translation>Kein Bildschirm dieses Namens ist angeschlossen.</translation>
    </message>
    <message>
        <source>The desktop is asking whether Starvane may change the background; answer it there.</source>
        <translation>Der Desktop fragt, ob Starvane den Hintergrund ändern darf; beantworten Sie die Frage dort.</translation>
    </message>
</context>
<context>
    <name>Starvane::DisplayPreviewRow</name>
    <message>
        <source>Picture on display %1</source>
        <translation>Bild auf Bildschirm %1</translation>
    </message>
    <message>
        <source>%1: %2 · %3</source>
        <extracomment>A display&apos;s name, then the title and the credit of the picture it shows</extracomment>
        <translation>%1: %2 · %3</translation>
    </message>
    <message>
        <source>%1: no picture yet</source>
        <translation>%1: noch kein Bild</translation>
    </message>
    <message>
        <source>%1; choose to show its title and credit</source>
        <translation>%1; auswählen, um Titel und Bildnachweis zu zeigen</translation>
    </message>
    <message>
        <source>This display has no picture of its own yet</source>
        <translation>Dieser Bildschirm hat noch kein eigenes Bild</translation>
    </message>
</context>
<context>
    <name>Starvane::DisplayScope</name>
    <message>
        <source>All displays</source>
        <translation>Alle Bildschirme</translation>
    </message>
    <message>
        <source>Main display</source>
        <translation>Hauptbildschirm</translation>
    </message>
    <message>
        <source>Each display</source>
        <translation>Jeder Bildschirm</translation>
    </message>
    <message>
        <source>The same picture on every display</source>
        <translation>Dasselbe Bild auf allen Bildschirmen</translation>
    </message>
    <message>
        <source>A picture on the main display only</source>
        <translation>Ein Bild nur auf dem Hauptbildschirm</translation>
    </message>
    <message>
        <source>A different picture on each display</source>
        <translation>Ein eigenes Bild auf jedem Bildschirm</translation>
    </message>
</context>
<context>
    <name>Starvane::ErrorBanner</name>
    <message>
        <source>Retry</source>
        <translation>Erneut versuchen</translation>
    </message>
    <message>
        <source>Try to fetch a new wallpaper again</source>
        <translation>Erneut versuchen, ein neues Hintergrundbild zu laden</translation>
    </message>
</context>
<context>
    <name>Starvane::ErrorText</name>
    <message>
        <source>Trying again in 1 minute</source>
        <translation>Neuer Versuch in 1 Minute</translation>
    </message>
    <message>
        <source>Trying again in %1 minutes</source>
        <translation>Neuer Versuch in %1 Minuten</translation>
    </message>
    <message>
        <source>Waiting for a network connection</source>
        <translation>Warten auf eine Netzwerkverbindung</translation>
    </message>
</context>
<context>
    <name>Starvane::Errors</name>
    <message>
        <source>ESA/Hubble archive returned HTTP %1.</source>
        <translation>Das ESA/Hubble-Archiv antwortete mit HTTP %1.</translation>
    </message>
    <message>
        <source>Skipped oversized image (%1 MB).</source>
        <translation>Zu großes Bild übersprungen (%1 MB).</translation>
    </message>
    <message>
        <source>not a single Hubble observation</source>
        <translation>keine einzelne Hubble-Beobachtung</translation>
    </message>
    <message>
        <source>contains non-Hubble observatory data (%1)</source>
        <translation>enthält Daten anderer Observatorien (%1)</translation>
    </message>
    <message>
        <source>Skipped image: %1.</source>
        <translation>Bild übersprungen: %1.</translation>
    </message>
    <message>
        <source>Could not construct the ESA/Hubble archive request.</source>
        <translation>Die Anfrage an das ESA/Hubble-Archiv konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>Received an unexpected response from the ESA/Hubble archive.</source>
        <translation>Das ESA/Hubble-Archiv hat unerwartet geantwortet.</translation>
    </message>
    <message>
        <source>No high-resolution Hubble telescope wallpapers were found on this page.</source>
        <translation>Auf dieser Seite wurden keine hochauflösenden Hintergrundbilder des Hubble-Teleskops gefunden.</translation>
    </message>
    <message>
        <source>Image download ended before all bytes were received.</source>
        <translation>Der Bild-Download endete, bevor alle Daten empfangen waren.</translation>
    </message>
    <message>
        <source>Image resolution (%1) is below the HD wallpaper threshold.</source>
        <translation>Die Bildauflösung (%1) liegt unter der Mindestgröße für HD-Hintergrundbilder.</translation>
    </message>
    <message>
        <source>Image aspect ratio (%1) is not suitable for a widescreen desktop.</source>
        <translation>Das Seitenverhältnis (%1) eignet sich nicht für einen Breitbild-Desktop.</translation>
    </message>
    <message>
        <source>Downloaded file was not a valid image.</source>
        <translation>Die heruntergeladene Datei ist kein gültiges Bild.</translation>
    </message>
    <message>
        <source>Downloaded image was incomplete or corrupted.</source>
        <translation>Das heruntergeladene Bild ist unvollständig oder beschädigt.</translation>
    </message>
    <message>
        <source>Wallpaper file could not be found at %1.</source>
        <translation>Die Bilddatei %1 wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The desktop could not update all displays: %1</source>
        <translation>Die Arbeitsumgebung konnte nicht alle Bildschirme aktualisieren: %1</translation>
    </message>
    <message>
        <source>No active displays were found.</source>
        <translation>Es wurden keine aktiven Bildschirme gefunden.</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Unbekannter Fehler.</translation>
    </message>
    <message>
        <source>There is no network connection.</source>
        <translation>Es besteht keine Netzwerkverbindung.</translation>
    </message>
    <message>
        <source>No kept pictures to show. Keep a picture first, or rotate among all pictures.</source>
        <translation>Keine behaltenen Bilder zum Anzeigen. Behalten Sie zuerst ein Bild oder wechseln Sie zwischen allen Bildern.</translation>
    </message>
    <message>
        <source>This picture can no longer be shown.</source>
        <translation>Dieses Bild kann nicht mehr angezeigt werden.</translation>
    </message>
    <message>
        <source>The kept picture %1 is gone.</source>
        <translation>Das behaltene Bild %1 ist nicht mehr vorhanden.</translation>
    </message>
</context>
<context>
    <name>Starvane::HistoryView</name>
    <message>
        <source>Set as Wallpaper</source>
        <translation>Als Hintergrundbild verwenden</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Behalten</translation>
    </message>
    <message>
        <source>Never Again</source>
        <translation>Nie wieder</translation>
    </message>
    <message>
        <source>Open on ESA/Hubble</source>
        <translation>Auf ESA/Hubble öffnen</translation>
    </message>
    <message>
        <source>History — Starvane</source>
        <translation>Verlauf — Starvane</translation>
    </message>
    <message>
        <source>Wallpapers shown lately</source>
        <translation>Zuletzt gezeigte Hintergrundbilder</translation>
    </message>
    <message>
        <source>No wallpaper has been shown yet.</source>
        <translation>Es wurde noch kein Hintergrundbild gezeigt.</translation>
    </message>
    <message>
        <source>Kept</source>
        <translation>Behalten</translation>
    </message>
    <message>
        <source>Never again</source>
        <translation>Nie wieder</translation>
    </message>
    <message>
        <source>Allow Again</source>
        <translation>Wieder zulassen</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>The pictures shown lately, newest first</source>
        <translation>Die zuletzt gezeigten Bilder, das neueste zuerst</translation>
    </message>
    <message>
        <source>Arrow keys choose a picture; Enter shows it again</source>
        <translation>Pfeiltasten wählen ein Bild, die Eingabetaste zeigt es erneut</translation>
    </message>
    <message>
        <source>Show the selected picture on the desktop again</source>
        <translation>Das gewählte Bild erneut auf dem Desktop zeigen</translation>
    </message>
    <message>
        <source>Copy the selected picture to your Pictures folder</source>
        <translation>Das gewählte Bild in Ihren Bilder-Ordner kopieren</translation>
    </message>
    <message>
        <source>Never show the selected picture again</source>
        <translation>Das gewählte Bild nie wieder zeigen</translation>
    </message>
    <message>
        <source>Open the selected picture&apos;s page on the ESA/Hubble website</source>
        <translation>Die Seite des gewählten Bildes auf der ESA/Hubble-Website öffnen</translation>
    </message>
    <message>
        <source>Kept in your Pictures folder; press to no longer keep it</source>
        <translation>In Ihrem Bilder-Ordner behalten; drücken, um es nicht mehr zu behalten</translation>
    </message>
    <message>
        <source>Let the selected picture come back in the rotation</source>
        <translation>Das gewählte Bild wieder in den Wechsel aufnehmen</translation>
    </message>
    <message>
        <source>Never again: this picture is not shown or kept until you allow it again.</source>
        <translation>Nie wieder: Dieses Bild wird weder gezeigt noch behalten, bis Sie es wieder zulassen.</translation>
    </message>
    <message>
        <source>A wallpaper is being fetched; try again when it is done.</source>
        <translation>Ein Hintergrundbild wird gerade geladen; versuchen Sie es danach erneut.</translation>
    </message>
    <message>
        <source>Its file is no longer saved: show the picture again to keep it.</source>
        <translation>Seine Datei ist nicht mehr gespeichert: Zeigen Sie das Bild erneut, um es zu behalten.</translation>
    </message>
    <message>
        <source>What the selected picture shows</source>
        <translation>Was das gewählte Bild zeigt</translation>
    </message>
</context>
<context>
    <name>Starvane::KeptPictures</name>
    <message>
        <source>This picture has no usable name.</source>
        <translation>Dieses Bild hat keinen verwendbaren Namen.</translation>
    </message>
    <message>
        <source>The picture&apos;s file is gone; show it again first.</source>
        <translation>Die Datei des Bildes ist nicht mehr da; zeigen Sie es zuerst erneut an.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be created.</source>
        <translation>Der Ordner %1 kann nicht angelegt werden.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be written.</source>
        <translation>In den Ordner %1 kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>Credit: %1</source>
        <translation>Bildnachweis: %1</translation>
    </message>
</context>
<context>
    <name>Starvane::MainWindow</name>
    <message>
        <source>The current wallpaper, its actions and settings</source>
        <translation>Das aktuelle Hintergrundbild, seine Aktionen und Einstellungen</translation>
    </message>
</context>
<context>
    <name>Starvane::MenuBarContentView</name>
    <message>
        <source>Updating wallpaper…</source>
        <translation>Hintergrundbild wird aktualisiert …</translation>
    </message>
    <message>
        <source>Manual mode</source>
        <translation>Manueller Modus</translation>
    </message>
    <message>
        <source>Auto: %1</source>
        <extracomment>%1 is the frequency, such as &quot;Every hour&quot;</extracomment>
        <translation>Automatisch: %1</translation>
    </message>
    <message>
        <source>Paused · every %1 when resumed</source>
        <extracomment>%1 is the paused frequency in short, such as &quot;15 min&quot; or &quot;1 hour&quot;</extracomment>
        <translation>Angehalten · Intervall nach dem Fortsetzen: %1</translation>
    </message>
</context>
<context>
    <name>Starvane::MenuDescription</name>
    <message>
        <source>Next Wallpaper</source>
        <translation>Nächstes Hintergrundbild</translation>
    </message>
    <message>
        <source>Resume Auto-Change</source>
        <translation>Automatischen Wechsel fortsetzen</translation>
    </message>
    <message>
        <source>Pause Auto-Change</source>
        <translation>Automatischen Wechsel anhalten</translation>
    </message>
    <message>
        <source>Change Frequency</source>
        <translation>Wechselintervall</translation>
    </message>
    <message>
        <source>This desktop shows one picture on all displays</source>
        <translation>Diese Arbeitsumgebung zeigt auf allen Bildschirmen dasselbe Bild</translation>
    </message>
    <message>
        <source>Displays</source>
        <translation>Bildschirme</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>Nach Aktualisierungen suchen …</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>Quit Starvane</source>
        <translation>Starvane beenden</translation>
    </message>
    <message>
        <source>Open Starvane</source>
        <translation>Starvane öffnen</translation>
    </message>
    <message>
        <source>Wallpaper</source>
        <translation>Hintergrundbild</translation>
    </message>
    <message>
        <source>Previous Wallpaper</source>
        <translation>Vorheriges Hintergrundbild</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Behalten</translation>
    </message>
    <message>
        <source>Never Again</source>
        <translation>Nie wieder</translation>
    </message>
    <message>
        <source>Only Kept Pictures</source>
        <translation>Nur behaltene Bilder</translation>
    </message>
    <message>
        <source>Download on metered connections</source>
        <translation>Über getaktete Verbindungen laden</translation>
    </message>
    <message>
        <source>Save data</source>
        <translation>Datenvolumen sparen</translation>
    </message>
    <message>
        <source>Notify when the wallpaper changes</source>
        <translation>Beim Wechsel des Hintergrunds benachrichtigen</translation>
    </message>
    <message>
        <source>Network and Notifications</source>
        <translation>Netzwerk und Benachrichtigungen</translation>
    </message>
    <message>
        <source>History…</source>
        <translation>Verlauf…</translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message>
        <source>About Starvane</source>
        <translation>Über Starvane</translation>
    </message>
    <message>
        <source>About This Picture</source>
        <translation>Über dieses Bild</translation>
    </message>
</context>
<context>
    <name>Starvane::Notifier</name>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Starvane could not change the wallpaper</source>
        <translation>Starvane konnte den Hintergrund nicht wechseln</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Erneut versuchen</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Behalten</translation>
    </message>
</context>
<context>
    <name>Starvane::PictureInfoView</name>
    <message>
        <source>About This Picture — Starvane</source>
        <translation>Über dieses Bild — Starvane</translation>
    </message>
    <message>
        <source>About This Picture</source>
        <translation>Über dieses Bild</translation>
    </message>
    <message>
        <source>What the wallpaper shows, who made it and how to credit it</source>
        <translation>Was das Hintergrundbild zeigt, wer es gemacht hat und wie man die Urheber nennt</translation>
    </message>
    <message>
        <source>Credit</source>
        <translation>Bildnachweis</translation>
    </message>
    <message>
        <source>Open on ESA/Hubble</source>
        <translation>Auf ESA/Hubble öffnen</translation>
    </message>
    <message>
        <source>Open this picture&apos;s page on the ESA/Hubble website</source>
        <translation>Die Seite dieses Bildes auf der ESA/Hubble-Website öffnen</translation>
    </message>
    <message>
        <source>Copy Credit</source>
        <translation>Bildnachweis kopieren</translation>
    </message>
    <message>
        <source>Copy one line with the title, the credit, the licence and the page&apos;s address</source>
        <translation>Eine Zeile mit Titel, Bildnachweis, Lizenz und Adresse der Seite kopieren</translation>
    </message>
    <message>
        <source>Close this window</source>
        <translation>Dieses Fenster schließen</translation>
    </message>
    <message>
        <source>The credit is copied; paste it wherever you use the picture.</source>
        <translation>Der Bildnachweis ist kopiert; fügen Sie ihn überall ein, wo Sie das Bild verwenden.</translation>
    </message>
    <message>
        <source>No wallpaper yet</source>
        <translation>Noch kein Hintergrundbild</translation>
    </message>
    <message>
        <source>Captured %1</source>
        <extracomment>%1 is a date or a year</extracomment>
        <translation>Aufnahme: %1</translation>
    </message>
    <message>
        <source>The archive page of this picture tells nothing more about it.</source>
        <translation>Die Archivseite dieses Bildes sagt nichts weiter darüber.</translation>
    </message>
    <message>
        <source>Starvane has not shown a picture yet.</source>
        <translation>Starvane hat noch kein Bild gezeigt.</translation>
    </message>
</context>
<context>
    <name>Starvane::PreferencesView</name>
    <message>
        <source>Preferences — Starvane</source>
        <translation>Einstellungen — Starvane</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Lock screen</source>
        <translation>Sperrbildschirm</translation>
    </message>
    <message>
        <source>Also use for the lock screen</source>
        <translation>Auch für den Sperrbildschirm verwenden</translation>
    </message>
    <message>
        <source>Each new picture goes on the lock screen as well as on the desktop.</source>
        <translation>Jedes neue Bild erscheint auch auf dem Sperrbildschirm.</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Netzwerk</translation>
    </message>
    <message>
        <source>Download on metered connections</source>
        <translation>Über getaktete Verbindungen laden</translation>
    </message>
    <message>
        <source>When off, automatic changes on a metered connection show pictures already saved on this computer.</source>
        <translation>Wenn aus, zeigen automatische Wechsel über eine getaktete Verbindung nur Bilder, die schon auf diesem Computer gespeichert sind.</translation>
    </message>
    <message>
        <source>Save data</source>
        <translation>Datenvolumen sparen</translation>
    </message>
    <message>
        <source>Downloads the smallest file that still fills your largest display.</source>
        <translation>Lädt die kleinste Datei, die Ihren größten Bildschirm noch füllt.</translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation>Benachrichtigungen</translation>
    </message>
    <message>
        <source>Notify when the wallpaper changes</source>
        <translation>Beim Wechsel des Hintergrunds benachrichtigen</translation>
    </message>
    <message>
        <source>Shows each new picture as a desktop notification, with Next and Keep buttons.</source>
        <translation>Zeigt jedes neue Bild als Desktop-Benachrichtigung mit den Knöpfen „Weiter“ und „Behalten“.</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>Starts Starvane in the tray when you log in, without opening its window.</source>
        <translation>Startet Starvane bei der Anmeldung im Systembereich, ohne sein Fenster zu öffnen.</translation>
    </message>
    <message>
        <source>Close the preferences; every change is already saved</source>
        <translation>Die Einstellungen schließen; jede Änderung ist schon gespeichert</translation>
    </message>
    <message>
        <source>Launch at login could not be changed: %1</source>
        <translation>Der Start bei der Anmeldung konnte nicht geändert werden: %1</translation>
    </message>
    <message>
        <source>This desktop&apos;s lock screen cannot be given a picture.</source>
        <translation>Dem Sperrbildschirm dieses Desktops kann kein Bild gegeben werden.</translation>
    </message>
    <message>
        <source>Wallpaper, lock screen, network, notification and startup choices of Starvane</source>
        <translation>Hintergrundbild, Sperrbildschirm, Netzwerk, Benachrichtigungen und Start von Starvane</translation>
    </message>
    <message>
        <source>Wallpaper</source>
        <translation>Hintergrundbild</translation>
    </message>
    <message>
        <source>Show title and credit on the wallpaper</source>
        <translation>Titel und Bildnachweis auf dem Hintergrundbild zeigen</translation>
    </message>
    <message>
        <source>Writes them small in a corner that stays on screen, on a copy of the picture.</source>
        <translation>Schreibt beide klein in eine Ecke, die sichtbar bleibt, auf eine Kopie des Bildes.</translation>
    </message>
    <message>
        <source>Dim the wallpaper in dark style</source>
        <translation>Hintergrundbild im dunklen Stil abdunkeln</translation>
    </message>
    <message>
        <source>Shows a darker copy of the picture while the desktop uses dark colours.</source>
        <translation>Zeigt eine dunklere Kopie des Bildes, solange der Desktop dunkle Farben verwendet.</translation>
    </message>
</context>
<context>
    <name>Starvane::RelativeTime</name>
    <message numerus="yes">
        <source>in %Ln yr.</source>
        <translation>
            <numerusform>in %Ln J.</numerusform>
            <numerusform>in %Ln J.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln yr. ago</source>
        <translation>
            <numerusform>vor %Ln J.</numerusform>
            <numerusform>vor %Ln J.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln mo.</source>
        <translation>
            <numerusform>in %Ln Mon.</numerusform>
            <numerusform>in %Ln Mon.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln mo. ago</source>
        <translation>
            <numerusform>vor %Ln Mon.</numerusform>
            <numerusform>vor %Ln Mon.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln wk.</source>
        <translation>
            <numerusform>in %Ln Wo.</numerusform>
            <numerusform>in %Ln Wo.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln wk. ago</source>
        <translation>
            <numerusform>vor %Ln Wo.</numerusform>
            <numerusform>vor %Ln Wo.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln days</source>
        <translation>
            <numerusform>in %Ln Tag</numerusform>
            <numerusform>in %Ln Tagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln days ago</source>
        <translation>
            <numerusform>vor %Ln Tag</numerusform>
            <numerusform>vor %Ln Tagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln day</source>
        <translation>
            <numerusform>in %Ln Tag</numerusform>
            <numerusform>in %Ln Tagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln day ago</source>
        <translation>
            <numerusform>vor %Ln Tag</numerusform>
            <numerusform>vor %Ln Tagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln hr.</source>
        <translation>
            <numerusform>in %Ln Std.</numerusform>
            <numerusform>in %Ln Std.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln hr. ago</source>
        <translation>
            <numerusform>vor %Ln Std.</numerusform>
            <numerusform>vor %Ln Std.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln min.</source>
        <translation>
            <numerusform>in %Ln Min.</numerusform>
            <numerusform>in %Ln Min.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln min. ago</source>
        <translation>
            <numerusform>vor %Ln Min.</numerusform>
            <numerusform>vor %Ln Min.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln sec.</source>
        <translation>
            <numerusform>in %Ln Sek.</numerusform>
            <numerusform>in %Ln Sek.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln sec. ago</source>
        <translation>
            <numerusform>vor %Ln Sek.</numerusform>
            <numerusform>vor %Ln Sek.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Starvane::SettingsCard</name>
    <message>
        <source>Change wallpaper</source>
        <translation>Hintergrundbild wechseln</translation>
    </message>
    <message>
        <source>How often to fetch a new Hubble image</source>
        <translation>Wie oft ein neues Hubble-Bild geladen wird</translation>
    </message>
    <message>
        <source>Displays</source>
        <translation>Bildschirme</translation>
    </message>
    <message>
        <source>Where the wallpaper is applied</source>
        <translation>Wo das Hintergrundbild erscheint</translation>
    </message>
    <message>
        <source>This desktop shows one picture on all displays.</source>
        <translation>Diese Arbeitsumgebung zeigt auf allen Bildschirmen dasselbe Bild.</translation>
    </message>
</context>
<context>
    <name>Starvane::UpdateController</name>
    <message>
        <source>Could not check for updates: the update feed is too large.</source>
        <translation>Suche nach Aktualisierungen fehlgeschlagen: Der Update-Feed ist zu groß.</translation>
    </message>
    <message>
        <source>Could not check for updates: %1</source>
        <translation>Suche nach Aktualisierungen fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Could not check for updates: the update server returned HTTP %1.</source>
        <translation>Suche nach Aktualisierungen fehlgeschlagen: Der Update-Server antwortete mit HTTP %1.</translation>
    </message>
    <message>
        <source>Could not check for updates: the update feed could not be read.</source>
        <translation>Suche nach Aktualisierungen fehlgeschlagen: Der Update-Feed konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Starvane %1 is available (you have %2).</source>
        <translation>Starvane %1 ist verfügbar (installiert ist %2).</translation>
    </message>
    <message>
        <source>Starvane %1 is up to date.</source>
        <translation>Starvane %1 ist auf dem neuesten Stand.</translation>
    </message>
    <message>
        <source>Download…</source>
        <translation>Herunterladen …</translation>
    </message>
</context>
<context>
    <name>Starvane::WallpaperPreviewCard</name>
    <message>
        <source>Updating</source>
        <translation>Wird aktualisiert</translation>
    </message>
    <message>
        <source>No wallpaper applied yet</source>
        <translation>Noch kein Hintergrundbild festgelegt</translation>
    </message>
    <message>
        <source>Fetching Hubble image…</source>
        <translation>Hubble-Bild wird geladen …</translation>
    </message>
    <message>
        <source>Real high-resolution photographs from the ESA/Hubble archive.</source>
        <translation>Echte hochauflösende Aufnahmen aus dem ESA/Hubble-Archiv.</translation>
    </message>
    <message>
        <source>ESA/Hubble</source>
        <extracomment>Link to the image&apos;s page in the archive; the archive&apos;s name, usually left as it is</extracomment>
        <translation>ESA/Hubble</translation>
    </message>
    <message>
        <source>Open this image&apos;s page on the ESA/Hubble website</source>
        <translation>Die Seite dieses Bildes auf der ESA/Hubble-Website öffnen</translation>
    </message>
    <message>
        <source>Reveal File</source>
        <translation>Datei zeigen</translation>
    </message>
    <message>
        <source>Show the wallpaper&apos;s file in the file manager</source>
        <translation>Die Datei des Hintergrundbilds in der Dateiverwaltung zeigen</translation>
    </message>
    <message>
        <source>Hubble Space Telescope</source>
        <translation>Hubble-Weltraumteleskop</translation>
    </message>
    <message>
        <source>Wallpaper: %1</source>
        <translation>Hintergrundbild: %1</translation>
    </message>
    <message>
        <source>Credit: %1</source>
        <translation>Bildnachweis: %1</translation>
    </message>
    <message>
        <source>About This Picture</source>
        <translation>Über dieses Bild</translation>
    </message>
    <message>
        <source>What the picture shows, who made it and how to credit it</source>
        <translation>Was das Bild zeigt, wer es gemacht hat und wie man die Urheber nennt</translation>
    </message>
</context>
<context>
    <name>Starvane::WallpaperStore</name>
    <message>
        <source>There is no picture on screen to keep.</source>
        <translation>Es wird kein Bild angezeigt, das behalten werden könnte.</translation>
    </message>
    <message>
        <source>There is no such picture.</source>
        <translation>Dieses Bild gibt es nicht.</translation>
    </message>
    <message>
        <source>The picture&apos;s file is gone; show it again first.</source>
        <translation>Die Datei des Bildes ist nicht mehr da; zeigen Sie es zuerst erneut an.</translation>
    </message>
</context>
<context>
    <name>Starvane::WindowTexts</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Nothing on this desktop could open %1. Copy the address into a browser instead.</source>
        <extracomment>%1 is a web address or a folder</extracomment>
        <translation>Nichts auf diesem Desktop konnte %1 öffnen. Kopieren Sie die Adresse stattdessen in einen Browser.</translation>
    </message>
</context>
</TS>
