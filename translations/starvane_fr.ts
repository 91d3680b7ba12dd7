<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Starvane::AboutView</name>
    <message>
        <source>About Starvane</source>
        <translation>À propos de Starvane</translation>
    </message>
    <message>
        <source>Version, licence and where the pictures come from</source>
        <translation>Version, licence et origine des images</translation>
    </message>
    <message>
        <source>Starvane&apos;s icon</source>
        <translation>Icône de Starvane</translation>
    </message>
    <message>
        <source>Version %1</source>
        <extracomment>%1 is a version number such as 1.0.0</extracomment>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>inconnue</translation>
    </message>
    <message>
        <source>Wallpapers shipped from Hubble Telescope: real high-resolution photographs from the ESA/Hubble archive on your desktop.</source>
        <translation>Des fonds d’écran venus du télescope Hubble : de vraies photographies haute résolution de l’archive ESA/Hubble sur votre bureau.</translation>
    </message>
    <message>
        <source>Images: ESA/Hubble, under CC BY 4.0</source>
        <translation>Images : ESA/Hubble, sous licence CC BY 4.0</translation>
    </message>
    <message>
        <source>ESA/Hubble images</source>
        <extracomment>Link to the picture archive; the archive&apos;s name, usually left as it is</extracomment>
        <translation>Images ESA/Hubble</translation>
    </message>
    <message>
        <source>Open the ESA/Hubble image archive in the web browser</source>
        <translation>Ouvrir l’archive d’images ESA/Hubble dans le navigateur</translation>
    </message>
    <message>
        <source>CC BY 4.0</source>
        <translation>CC BY 4.0</translation>
    </message>
    <message>
        <source>Open the Creative Commons Attribution 4.0 licence in the web browser</source>
        <translation>Ouvrir la licence Creative Commons Attribution 4.0 dans le navigateur</translation>
    </message>
    <message>
        <source>Starvane is free software under the GNU General Public License, version 3 or later.</source>
        <translation>Starvane est un logiciel libre sous licence GNU General Public License, version 3 ou ultérieure.</translation>
    </message>
    <message>
        <source>GNU GPL 3.0</source>
        <translation>GNU GPL 3.0</translation>
    </message>
    <message>
        <source>Open the GNU General Public License in the web browser</source>
        <translation>Ouvrir la GNU General Public License dans le navigateur</translation>
    </message>
    <message>
        <source>Built with Qt %1</source>
        <translation>Compilé avec Qt %1</translation>
    </message>
    <message>
        <source>Built with Qt %1, running on Qt %2</source>
        <translation>Compilé avec Qt %1, exécuté avec Qt %2</translation>
    </message>
    <message>
        <source>Close this window</source>
        <translation>Fermer cette fenêtre</translation>
    </message>
</context>
<context>
    <name>Starvane::ChangeFrequency</name>
    <message>
        <source>Manual only</source>
        <translation>Manuel uniquement</translation>
    </message>
    <message>
        <source>Every 5 minutes</source>
        <translation>Toutes les 5 minutes</translation>
    </message>
    <message>
        <source>Every 15 minutes</source>
        <translation>Toutes les 15 minutes</translation>
    </message>
    <message>
        <source>Every hour</source>
        <translation>Toutes les heures</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>Tous les jours</translation>
    </message>
</context>
<context>
    <name>Starvane::ChangeFrequencyShort</name>
    <message>
        <source>Manual</source>
        <translation>manuel</translation>
    </message>
    <message>
        <source>5 min</source>
        <translation>5 min</translation>
    </message>
    <message>
        <source>15 min</source>
        <translation>15 min</translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation>1 heure</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>quotidien</translation>
    </message>
</context>
<context>
    <name>Starvane::CommandLine</name>
    <message>
        <source>unknown command &apos;%1&apos;</source>
        <translation>commande inconnue «&#xa0;%1&#xa0;»</translation>
    </message>
    <message>
        <source>&apos;%1&apos; takes no arguments</source>
        <translation>«&#xa0;%1&#xa0;» ne prend aucun argument</translation>
    </message>
    <message>
        <source>&apos;frequency&apos; needs one of: manual, 5m, 15m, hourly, daily</source>
        <translation>«&#xa0;frequency&#xa0;» attend l’une des valeurs&#xa0;: manual, 5m, 15m, hourly, daily</translation>
    </message>
    <message>
        <source>&apos;displays&apos; needs one of: all, main, each</source>
        <translation>« displays » attend l’un de : all, main, each</translation>
    </message>
    <message>
        <source>&apos;check-image&apos; needs at least one file</source>
        <translation>«&#xa0;check-image&#xa0;» attend au moins un fichier</translation>
    </message>
    <message>
        <source>Starvane is not running. Start it with: starvane</source>
        <translation>Starvane n’est pas lancé. Lancez-le avec&#xa0;: starvane</translation>
    </message>
    <message>
        <source>this command is not sent to the running instance</source>
        <translation>cette commande n’est pas envoyée à l’instance en cours</translation>
    </message>
    <message>
        <source>the running instance did not answer: %1</source>
        <translation>l’instance en cours n’a pas répondu&#xa0;: %1</translation>
    </message>
    <message>
        <source>Changing the wallpaper…</source>
        <translation>Changement du fond d’écran…</translation>
    </message>
    <message>
        <source>running without command-line control; &apos;starvane next&apos;, &apos;status&apos; and the like will not reach this instance</source>
        <translation>fonctionne sans contrôle en ligne de commande&#x202f;; «&#xa0;starvane next&#xa0;», «&#xa0;status&#xa0;» et les autres commandes n’atteindront pas cette instance</translation>
    </message>
    <message>
        <source>&apos;%1&apos; takes no arguments but --json</source>
        <translation>« %1 » ne prend aucun argument sauf --json</translation>
    </message>
    <message>
        <source>Going back to the previous wallpaper…</source>
        <translation>Retour au fond d’écran précédent…</translation>
    </message>
    <message>
        <source>Kept as %1</source>
        <translation>Gardé sous %1</translation>
    </message>
    <message>
        <source>No longer kept</source>
        <translation>N’est plus gardé</translation>
    </message>
    <message>
        <source>[kept]</source>
        <translation>[gardé]</translation>
    </message>
    <message>
        <source>[never again]</source>
        <translation>[plus jamais]</translation>
    </message>
    <message>
        <source>&apos;history show&apos; needs a line number of &apos;starvane history&apos; (1 is the newest) or a wallpaper&apos;s id</source>
        <translation>&apos;history show&apos; attend un numéro de ligne de &apos;starvane history&apos; (1 est la plus récente) ou l’identifiant d’un fond d’écran</translation>
    </message>
    <message>
        <source>&apos;allow-again&apos; needs the id of a wallpaper (see &apos;starvane history&apos;)</source>
        <translation>&apos;allow-again&apos; attend l’identifiant d’un fond d’écran (voir &apos;starvane history&apos;)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; needs one of: on, off</source>
        <translation>&apos;%1&apos; attend l’un de : on, off</translation>
    </message>
    <message>
        <source>The wallpaper now changes only among the kept pictures.</source>
        <translation>Le fond d’écran change désormais uniquement parmi les images gardées.</translation>
    </message>
    <message>
        <source>The wallpaper now changes among all pictures of the archive.</source>
        <translation>Le fond d’écran change désormais parmi toutes les images des archives.</translation>
    </message>
    <message>
        <source>Save data is on: downloads are only as large as the largest display needs.</source>
        <translation>Économie de données activée : les téléchargements ne dépassent pas ce dont le plus grand écran a besoin.</translation>
    </message>
    <message>
        <source>Save data is off: downloads take the best file.</source>
        <translation>Économie de données désactivée : les téléchargements prennent le meilleur fichier.</translation>
    </message>
    <message>
        <source>Automatic changes download on metered connections too.</source>
        <translation>Les changements automatiques téléchargent aussi sur les connexions limitées.</translation>
    </message>
    <message>
        <source>On metered connections, automatic changes show saved pictures.</source>
        <translation>Sur les connexions limitées, les changements automatiques montrent des images enregistrées.</translation>
    </message>
    <message>
        <source>Each new wallpaper is announced with a notification.</source>
        <translation>Chaque nouveau fond d’écran est annoncé par une notification.</translation>
    </message>
    <message>
        <source>New wallpapers are no longer announced.</source>
        <translation>Les nouveaux fonds d’écran ne sont plus annoncés.</translation>
    </message>
    <message>
        <source>Showing that wallpaper again…</source>
        <translation>Ce fond d’écran revient à l’écran…</translation>
    </message>
    <message>
        <source>%1 may be shown again.</source>
        <translation>%1 peut de nouveau être affiché.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; takes no arguments but --display NAME (a name of &apos;starvane status --json&apos;)</source>
        <translation>« %1 » ne prend aucun argument sauf --display NOM (un nom de « starvane status --json »)</translation>
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
        <translation>Utilisation : starvane [COMMANDE]

Alimente le bureau en photographies des archives ESA/Hubble.
Sans commande, lance Starvane (ou affiche la fenêtre de l’instance déjà lancée).

Commandes (envoyées au Starvane en cours d’exécution) :
  next                 changer de fond d’écran maintenant
  previous             revenir au fond d’écran affiché avant
  keep [--display NAME] garder le fond d’écran dans le dossier Images
  unkeep               ne plus garder le fond d’écran
  never-again          ne plus jamais afficher ce fond d’écran, et en changer maintenant
  history [--json]     lister les derniers fonds d’écran affichés, du plus récent au plus ancien
  history show N|ID    réafficher le fond d’écran de la ligne N de &apos;history&apos; (1 : le plus récent), ou par son identifiant
  allow-again ID       laisser revenir un fond d’écran marqué never-again
  only-kept on|off     changer uniquement parmi les fonds d’écran gardés, ou parmi tous
  pause                suspendre les changements automatiques
  resume               reprendre les changements automatiques
  status [--json]      afficher le fond d’écran actuel, le planning et les erreurs
                       (--json : un objet JSON, pour les scripts)
  frequency WHEN       changer la fréquence : manual, 5m, 15m, hourly ou daily
  displays WHICH       choisir les écrans&#xa0;: all, main ou each (une image propre à chacun)
  lock-screen on|off   utiliser aussi les images pour l’écran de verrouillage, ou plus
  save-data on|off     ne télécharger que ce dont le plus grand écran a besoin, ou le meilleur fichier
  metered on|off       télécharger aussi sur les connexions limitées, ou y montrer des images enregistrées
  notify on|off        annoncer chaque nouveau fond d’écran par une notification, ou non
  caption on|off       afficher le titre et le crédit sur le fond d’écran, ou non
  dim-in-dark on|off   assombrir le fond d’écran en style sombre, ou non
  show                 ouvrir la fenêtre de Starvane
  quit                 quitter Starvane

  check-image FILE...  vérifier des images comme le cache de Starvane et dire pourquoi il en refuse une

Options :
  -h, --help           afficher cette aide
  -v, --version        afficher la version
</translation>
    </message>
    <message>
        <source>The wallpaper shows the picture&apos;s title and credit.</source>
        <translation>Le fond d’écran montre le titre et le crédit de l’image.</translation>
    </message>
    <message>
        <source>The wallpaper shows the picture alone.</source>
        <translation>Le fond d’écran montre l’image seule.</translation>
    </message>
    <message>
        <source>The wallpaper is dimmed while the desktop&apos;s style is dark.</source>
        <translation>Le fond d’écran est assombri tant que le bureau est en style sombre.</translation>
    </message>
    <message>
        <source>The wallpaper keeps its brightness in the dark style.</source>
        <translation>Le fond d’écran garde sa luminosité en style sombre.</translation>
    </message>
</context>
<context>
    <name>Starvane::ContentView</name>
    <message>
        <source>Wallpapers shipped from Hubble Telescope</source>
        <translation>Des fonds d’écran venus du télescope Hubble</translation>
    </message>
    <message>
        <source>Fetching…</source>
        <translation>Chargement…</translation>
    </message>
    <message>
        <source>Next Wallpaper</source>
        <translation>Fond d’écran suivant</translation>
    </message>
    <message>
        <source>A new wallpaper is being fetched from the ESA/Hubble archive</source>
        <translation>Un nouveau fond d’écran est en cours de chargement depuis les archives ESA/Hubble</translation>
    </message>
    <message>
        <source>Fetch and apply a new wallpaper now</source>
        <translation>Charger et appliquer un nouveau fond d’écran maintenant</translation>
    </message>
    <message>
        <source>Resume</source>
        <extracomment>Button: resume automatic wallpaper changes</extracomment>
        <translation>Reprendre</translation>
    </message>
    <message>
        <source>Pause</source>
        <comment>automatic changes</comment>
        <translation>Suspendre</translation>
    </message>
    <message>
        <source>Resume changing the wallpaper on schedule</source>
        <translation>Reprendre le changement planifié du fond d’écran</translation>
    </message>
    <message>
        <source>Stop changing the wallpaper on schedule until resumed</source>
        <translation>Suspendre le changement planifié jusqu’à sa reprise</translation>
    </message>
    <message>
        <source>Scheduled every 5 minutes</source>
        <translation>Changement prévu toutes les 5 minutes</translation>
    </message>
    <message>
        <source>Scheduled every 15 minutes</source>
        <translation>Changement prévu toutes les 15 minutes</translation>
    </message>
    <message>
        <source>Scheduled every hour</source>
        <translation>Changement prévu toutes les heures</translation>
    </message>
    <message>
        <source>Scheduled daily</source>
        <translation>Changement prévu tous les jours</translation>
    </message>
    <message>
        <source>Auto-change is off</source>
        <translation>Changement automatique désactivé</translation>
    </message>
    <message>
        <source>Auto-change is paused</source>
        <translation>Changement automatique suspendu</translation>
    </message>
    <message>
        <source>Changing shortly…</source>
        <translation>Changement imminent…</translation>
    </message>
    <message>
        <source>Next change %1</source>
        <extracomment>%1 is a relative time such as &quot;in 14 min.&quot;</extracomment>
        <translation>Prochain changement %1</translation>
    </message>
    <message>
        <source>Waiting for a network connection</source>
        <translation>En attente d’une connexion réseau</translation>
    </message>
    <message>
        <source>Metered connection: showing saved pictures</source>
        <translation>Connexion limitée&#xa0;: images enregistrées affichées</translation>
    </message>
    <message>
        <source>Metered connection: waiting to download</source>
        <translation>Connexion limitée&#xa0;: téléchargement en attente</translation>
    </message>
    <message>
        <source>The desktop is asking whether Starvane may change the background. Answer its question to go on.</source>
        <translation>Le bureau demande si Starvane peut changer le fond d’écran. Répondez à sa question pour continuer.</translation>
    </message>
</context>
<context>
    <name>Starvane::ControlService</name>
    <message>
        <source>Wallpaper: %1 (%2)</source>
        <translation>Fond d’écran&#xa0;: %1 (%2)</translation>
    </message>
    <message>
        <source>Credit: %1</source>
        <translation>Crédit&#xa0;: %1</translation>
    </message>
    <message>
        <source>Wallpaper: none yet</source>
        <translation>Fond d’écran&#xa0;: aucun pour l’instant</translation>
    </message>
    <message>
        <source>File: %1</source>
        <translation>Fichier&#xa0;: %1</translation>
    </message>
    <message>
        <source>Status: %1</source>
        <translation>État&#xa0;: %1</translation>
    </message>
    <message>
        <source>Displays: %1</source>
        <translation>Écrans&#xa0;: %1</translation>
    </message>
    <message>
        <source>Next change: %1</source>
        <translation>Prochain changement&#xa0;: %1</translation>
    </message>
    <message>
        <source>Next change: none scheduled</source>
        <translation>Prochain changement&#xa0;: aucun de prévu</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Erreur&#xa0;: %1</translation>
    </message>
    <message>
        <source>There is no earlier picture to go back to.</source>
        <translation>Il n’y a pas d’image antérieure à laquelle revenir.</translation>
    </message>
    <message>
        <source>A change is already under way.</source>
        <translation>Un changement est déjà en cours.</translation>
    </message>
    <message>
        <source>The picture on screen is not kept.</source>
        <translation>L’image affichée n’est pas gardée.</translation>
    </message>
    <message>
        <source>There is no picture on screen.</source>
        <translation>Aucune image n’est affichée.</translation>
    </message>
    <message>
        <source>Display %1 (%2): %3 (%4)</source>
        <translation>Écran %1 (%2) : %3 (%4)</translation>
    </message>
    <message>
        <source>Display %1 (%2): none yet</source>
        <translation>Écran %1 (%2) : aucune pour l’instant</translation>
    </message>
    <message>
        <source>Lock screen: the main display&apos;s picture</source>
        <translation>Écran de verrouillage&#xa0;: l’image de l’écran principal</translation>
    </message>
    <message>
        <source>The history has no entry with that number.</source>
        <translation>L’historique n’a pas d’entrée avec ce numéro.</translation>
    </message>
    <message>
        <source>That picture is never shown again; allow it again first.</source>
        <translation>Cette image n’est plus jamais affichée ; autorisez-la d’abord de nouveau.</translation>
    </message>
    <message>
        <source>That picture is on screen now.</source>
        <translation>Cette image est déjà à l’écran.</translation>
    </message>
    <message>
        <source>This picture can no longer be shown.</source>
        <translation>Cette image ne peut plus être affichée.</translation>
    </message>
    <message>
        <source>The history has no picture with that id.</source>
        <translation>L’historique n’a pas d’image avec cet identifiant.</translation>
    </message>
    <message>
        <source>No picture with that id is banned.</source>
        <translation>Aucune image avec cet identifiant n’est bannie.</translation>
    </message>
    <message>
        <source>No picture is kept yet: keep one first.</source>
        <translation>Aucune image n’est encore gardée : gardez-en d’abord une.</translation>
    </message>
    <message>
        <source>The wallpaper changes only when asked (manual mode): there is nothing to pause.</source>
        <translation>Le fond d’écran ne change que sur demande (mode manuel) : il n’y a rien à suspendre.</translation>
    </message>
    <message>
        <source>The wallpaper changes only when asked (manual mode): there is nothing to resume.</source>
        <translation>Le fond d’écran ne change que sur demande (mode manuel) : il n’y a rien à reprendre.</translation>
    </message>
    <message>
        <source>This desktop&apos;s lock screen cannot be given a picture.</source>
        <translation>L’écran de verrouillage de ce bureau ne peut pas recevoir d’image.</translation>
    </message>
    <message>
        <source>No display of that name is connected.</source>
        <translation>Aucun écran de ce nom n’est branché.</translation>
    </message>
    <message>
        <source>The desktop is asking whether Starvane may change the background; answer it there.</source>
        <translation>Le bureau demande si Starvane peut changer le fond d’écran&#xa0;; répondez-y là-bas.</translation>
    </message>
</context>
<context>
    <name>Starvane::DisplayPreviewRow</name>
    <message>
        <source>Picture on display %1</source>
        <translation>Image sur l’écran %1</translation>
    </message>
    <message>
        <source>%1: %2 · %3</source>
        <extracomment>A display&apos;s name, then the title and the credit of the picture it shows</extracomment>
        <translation>%1&#xa0;: %2 · %3</translation>
    </message>
    <message>
        <source>%1: no picture yet</source>
        <translation>%1&#xa0;: pas encore d’image</translation>
    </message>
    <message>
        <source>%1; choose to show its title and credit</source>
        <translation>%1 ; choisir pour afficher son titre et son crédit</translation>
    </message>
    <message>
        <source>This display has no picture of its own yet</source>
        <translation>Cet écran n’a pas encore d’image à lui</translation>
    </message>
</context>
<context>
    <name>Starvane::DisplayScope</name>
    <message>
        <source>All displays</source>
        <translation>Tous les écrans</translation>
    </message>
    <message>
        <source>Main display</source>
        <translation>Écran principal</translation>
    </message>
    <message>
        <source>Each display</source>
        <translation>Chaque écran</translation>
    </message>
    <message>
        <source>The same picture on every display</source>
        <translation>La même image sur tous les écrans</translation>
    </message>
    <message>
        <source>A picture on the main display only</source>
        <translation>Une image sur l’écran principal seulement</translation>
    </message>
    <message>
        <source>A different picture on each display</source>
        <translation>Une image différente sur chaque écran</translation>
    </message>
</context>
<context>
    <name>Starvane::ErrorBanner</name>
    <message>
        <source>Retry</source>
        <translation>Réessayer</translation>
    </message>
    <message>
        <source>Try to fetch a new wallpaper again</source>
        <translation>Essayer à nouveau de charger un fond d’écran</translation>
    </message>
</context>
<context>
    <name>Starvane::ErrorText</name>
    <message>
        <source>Trying again in 1 minute</source>
        <translation>Nouvel essai dans 1 minute</translation>
    </message>
    <message>
        <source>Trying again in %1 minutes</source>
        <translation>Nouvel essai dans %1 minutes</translation>
    </message>
    <message>
        <source>Waiting for a network connection</source>
        <translation>En attente d’une connexion réseau</translation>
    </message>
</context>
<context>
    <name>Starvane::Errors</name>
    <message>
        <source>ESA/Hubble archive returned HTTP %1.</source>
        <translation>Les archives ESA/Hubble ont répondu par une erreur HTTP %1.</translation>
    </message>
    <message>
        <source>Skipped oversized image (%1 MB).</source>
        <translation>Image trop volumineuse ignorée (%1&#xa0;Mo).</translation>
    </message>
    <message>
        <source>not a single Hubble observation</source>
        <translation>ce n’est pas une observation unique de Hubble</translation>
    </message>
    <message>
        <source>contains non-Hubble observatory data (%1)</source>
        <translation>contient des données d’autres observatoires (%1)</translation>
    </message>
    <message>
        <source>Skipped image: %1.</source>
        <translation>Image ignorée&#xa0;: %1.</translation>
    </message>
    <message>
        <source>Could not construct the ESA/Hubble archive request.</source>
        <translation>Impossible de préparer la requête aux archives ESA/Hubble.</translation>
    </message>
    <message>
        <source>Received an unexpected response from the ESA/Hubble archive.</source>
        <translation>Réponse inattendue des archives ESA/Hubble.</translation>
    </message>
    <message>
        <source>No high-resolution Hubble telescope wallpapers were found on this page.</source>
        <translation>Aucun fond d’écran haute résolution du télescope Hubble n’a été trouvé sur cette page.</translation>
    </message>
    <message>
        <source>Image download ended before all bytes were received.</source>
        <translation>Le téléchargement de l’image s’est interrompu avant la fin.</translation>
    </message>
    <message>
        <source>Image resolution (%1) is below the HD wallpaper threshold.</source>
        <translation>La résolution de l’image (%1) est inférieure au minimum d’un fond d’écran HD.</translation>
    </message>
    <message>
        <source>Image aspect ratio (%1) is not suitable for a widescreen desktop.</source>
        <translation>Le format de l’image (%1) ne convient pas à un écran large.</translation>
    </message>
    <message>
        <source>Downloaded file was not a valid image.</source>
        <translation>Le fichier téléchargé n’est pas une image valide.</translation>
    </message>
    <message>
        <source>Downloaded image was incomplete or corrupted.</source>
        <translation>L’image téléchargée est incomplète ou endommagée.</translation>
    </message>
    <message>
        <source>Wallpaper file could not be found at %1.</source>
        <translation>Le fichier du fond d’écran %1 est introuvable.</translation>
    </message>
    <message>
        <source>The desktop could not update all displays: %1</source>
        <translation>L’environnement de bureau n’a pas pu mettre à jour tous les écrans&#xa0;: %1</translation>
    </message>
    <message>
        <source>No active displays were found.</source>
        <translation>Aucun écran actif n’a été trouvé.</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Erreur inconnue.</translation>
    </message>
    <message>
        <source>There is no network connection.</source>
        <translation>Aucune connexion réseau.</translation>
    </message>
    <message>
        <source>No kept pictures to show. Keep a picture first, or rotate among all pictures.</source>
        <translation>Aucune image gardée à afficher. Gardez d’abord une image, ou alternez entre toutes les images.</translation>
    </message>
    <message>
        <source>This picture can no longer be shown.</source>
        <translation>Cette image ne peut plus être affichée.</translation>
    </message>
    <message>
        <source>The kept picture %1 is gone.</source>
        <translation>L’image conservée %1 n’existe plus.</translation>
    </message>
</context>
<context>
    <name>Starvane::HistoryView</name>
    <message>
        <source>Set as Wallpaper</source>
        <translation>Utiliser comme fond d’écran</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Garder</translation>
    </message>
    <message>
        <source>Never Again</source>
        <translation>Plus jamais</translation>
    </message>
    <message>
        <source>Open on ESA/Hubble</source>
        <translation>Ouvrir sur ESA/Hubble</translation>
    </message>
    <message>
        <source>History — Starvane</source>
        <translation>Historique — Starvane</translation>
    </message>
    <message>
        <source>Wallpapers shown lately</source>
        <translation>Fonds d’écran affichés récemment</translation>
    </message>
    <message>
        <source>No wallpaper has been shown yet.</source>
        <translation>Aucun fond d’écran n’a encore été affiché.</translation>
    </message>
    <message>
        <source>Kept</source>
        <translation>Gardé</translation>
    </message>
    <message>
        <source>Never again</source>
        <translation>Plus jamais</translation>
    </message>
    <message>
        <source>Allow Again</source>
        <translation>Autoriser à nouveau</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Historique</translation>
    </message>
    <message>
        <source>The pictures shown lately, newest first</source>
        <translation>Les images montrées récemment, la plus récente d’abord</translation>
    </message>
    <message>
        <source>Arrow keys choose a picture; Enter shows it again</source>
        <translation>Les flèches choisissent une image ; Entrée l’affiche à nouveau</translation>
    </message>
    <message>
        <source>Show the selected picture on the desktop again</source>
        <translation>Afficher à nouveau l’image choisie sur le bureau</translation>
    </message>
    <message>
        <source>Copy the selected picture to your Pictures folder</source>
        <translation>Copier l’image choisie dans votre dossier Images</translation>
    </message>
    <message>
        <source>Never show the selected picture again</source>
        <translation>Ne plus jamais afficher l’image choisie</translation>
    </message>
    <message>
        <source>Open the selected picture&apos;s page on the ESA/Hubble website</source>
        <translation>Ouvrir la page de l’image choisie sur le site ESA/Hubble</translation>
    </message>
    <message>
        <source>Kept in your Pictures folder; press to no longer keep it</source>
        <translation>Gardée dans votre dossier Images ; appuyer pour ne plus la garder</translation>
    </message>
    <message>
        <source>Let the selected picture come back in the rotation</source>
        <translation>Laisser l’image choisie revenir dans la rotation</translation>
    </message>
    <message>
        <source>Never again: this picture is not shown or kept until you allow it again.</source>
        <translation>Plus jamais : cette image n’est ni affichée ni gardée tant que vous ne l’autorisez pas à nouveau.</translation>
    </message>
    <message>
        <source>A wallpaper is being fetched; try again when it is done.</source>
        <translation>Un fond d’écran est en cours de téléchargement ; réessayez ensuite.</translation>
    </message>
    <message>
        <source>Its file is no longer saved: show the picture again to keep it.</source>
        <translation>Son fichier n’est plus enregistré : affichez l’image à nouveau pour la garder.</translation>
    </message>
    <message>
        <source>What the selected picture shows</source>
        <translation>Ce que montre l’image choisie</translation>
    </message>
</context>
<context>
    <name>Starvane::KeptPictures</name>
    <message>
        <source>This picture has no usable name.</source>
        <translation>Cette image n’a pas de nom utilisable.</translation>
    </message>
    <message>
        <source>The picture&apos;s file is gone; show it again first.</source>
        <translation>Le fichier de l’image a disparu ; affichez-la d’abord à nouveau.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be created.</source>
        <translation>Le dossier %1 ne peut pas être créé.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be written.</source>
        <translation>Le dossier %1 n’est pas accessible en écriture.</translation>
    </message>
    <message>
        <source>Credit: %1</source>
        <translation>Crédit : %1</translation>
    </message>
</context>
<context>
    <name>Starvane::MainWindow</name>
    <message>
        <source>The current wallpaper, its actions and settings</source>
        <translation>Le fond d’écran actuel, ses actions et ses réglages</translation>
    </message>
</context>
<context>
    <name>Starvane::MenuBarContentView</name>
    <message>
        <source>Updating wallpaper…</source>
        <translation>Mise à jour du fond d’écran…</translation>
    </message>
    <message>
        <source>Manual mode</source>
        <translation>Mode manuel</translation>
    </message>
    <message>
        <source>Auto: %1</source>
        <extracomment>%1 is the frequency, such as &quot;Every hour&quot;</extracomment>
        <translation>Automatique&#xa0;: %1</translation>
    </message>
    <message>
        <source>Paused · every %1 when resumed</source>
        <extracomment>%1 is the paused frequency in short, such as &quot;15 min&quot; or &quot;1 hour&quot;</extracomment>
        <translation>En pause · intervalle à la reprise : %1</translation>
    </message>
</context>
<context>
    <name>Starvane::MenuDescription</name>
    <message>
        <source>Next Wallpaper</source>
        <translation>Fond d’écran suivant</translation>
    </message>
    <message>
        <source>Resume Auto-Change</source>
        <translation>Reprendre le changement automatique</translation>
    </message>
    <message>
        <source>Pause Auto-Change</source>
        <translation>Suspendre le changement automatique</translation>
    </message>
    <message>
        <source>Change Frequency</source>
        <translation>Fréquence de changement</translation>
    </message>
    <message>
        <source>This desktop shows one picture on all displays</source>
        <translation>Ce bureau affiche la même image sur tous les écrans</translation>
    </message>
    <message>
        <source>Displays</source>
        <translation>Écrans</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>Rechercher des mises à jour…</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation>Lancer à l’ouverture de session</translation>
    </message>
    <message>
        <source>Quit Starvane</source>
        <translation>Quitter Starvane</translation>
    </message>
    <message>
        <source>Open Starvane</source>
        <translation>Ouvrir Starvane</translation>
    </message>
    <message>
        <source>Wallpaper</source>
        <translation>Fond d’écran</translation>
    </message>
    <message>
        <source>Previous Wallpaper</source>
        <translation>Fond d’écran précédent</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Garder</translation>
    </message>
    <message>
        <source>Never Again</source>
        <translation>Plus jamais</translation>
    </message>
    <message>
        <source>Only Kept Pictures</source>
        <translation>Seulement les images gardées</translation>
    </message>
    <message>
        <source>Download on metered connections</source>
        <translation>Télécharger sur les connexions limitées</translation>
    </message>
    <message>
        <source>Save data</source>
        <translation>Économiser les données</translation>
    </message>
    <message>
        <source>Notify when the wallpaper changes</source>
        <translation>Avertir quand le fond d’écran change</translation>
    </message>
    <message>
        <source>Network and Notifications</source>
        <translation>Réseau et notifications</translation>
    </message>
    <message>
        <source>History…</source>
        <translation>Historique…</translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation>Préférences…</translation>
    </message>
    <message>
        <source>About Starvane</source>
        <translation>À propos de Starvane</translation>
    </message>
    <message>
        <source>About This Picture</source>
        <translation>À propos de cette image</translation>
    </message>
</context>
<context>
    <name>Starvane::Notifier</name>
    <message>
        <source>Next</source>
        <translation>Suivant</translation>
    </message>
    <message>
        <source>Starvane could not change the wallpaper</source>
        <translation>Starvane n’a pas pu changer le fond d’écran</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Réessayer</translation>
    </message>
    <message>
        <source>Keep</source>
        <translation>Garder</translation>
    </message>
</context>
<context>
    <name>Starvane::PictureInfoView</name>
    <message>
        <source>About This Picture — Starvane</source>
        <translation>À propos de cette image — Starvane</translation>
    </message>
    <message>
        <source>About This Picture</source>
        <translation>À propos de cette image</translation>
    </message>
    <message>
        <source>What the wallpaper shows, who made it and how to credit it</source>
        <translation>Ce que montre le fond d’écran, qui l’a réalisé et comment le créditer</translation>
    </message>
    <message>
        <source>Credit</source>
        <translation>Crédit</translation>
    </message>
    <message>
        <source>Open on ESA/Hubble</source>
        <translation>Ouvrir sur ESA/Hubble</translation>
    </message>
    <message>
        <source>Open this picture&apos;s page on the ESA/Hubble website</source>
        <translation>Ouvrir la page de cette image sur le site d’ESA/Hubble</translation>
    </message>
    <message>
        <source>Copy Credit</source>
        <translation>Copier le crédit</translation>
    </message>
    <message>
        <source>Copy one line with the title, the credit, the licence and the page&apos;s address</source>
        <translation>Copier une ligne avec le titre, le crédit, la licence et l’adresse de la page</translation>
    </message>
    <message>
        <source>Close this window</source>
        <translation>Fermer cette fenêtre</translation>
    </message>
    <message>
        <source>The credit is copied; paste it wherever you use the picture.</source>
        <translation>Le crédit est copié ; collez-le partout où vous utilisez l’image.</translation>
    </message>
    <message>
        <source>No wallpaper yet</source>
        <translation>Pas encore de fond d’écran</translation>
    </message>
    <message>
        <source>Captured %1</source>
        <extracomment>%1 is a date or a year</extracomment>
        <translation>Prise de vue&#xa0;: %1</translation>
    </message>
    <message>
        <source>The archive page of this picture tells nothing more about it.</source>
        <translation>La page d’archive de cette image n’en dit pas plus.</translation>
    </message>
    <message>
        <source>Starvane has not shown a picture yet.</source>
        <translation>Starvane n’a encore montré aucune image.</translation>
    </message>
</context>
<context>
    <name>Starvane::PreferencesView</name>
    <message>
        <source>Preferences — Starvane</source>
        <translation>Préférences — Starvane</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Préférences</translation>
    </message>
    <message>
        <source>Lock screen</source>
        <translation>Écran de verrouillage</translation>
    </message>
    <message>
        <source>Also use for the lock screen</source>
        <translation>Utiliser aussi pour l’écran de verrouillage</translation>
    </message>
    <message>
        <source>Each new picture goes on the lock screen as well as on the desktop.</source>
        <translation>Chaque nouvelle image va aussi sur l’écran de verrouillage.</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Réseau</translation>
    </message>
    <message>
        <source>Download on metered connections</source>
        <translation>Télécharger sur les connexions limitées</translation>
    </message>
    <message>
        <source>When off, automatic changes on a metered connection show pictures already saved on this computer.</source>
        <translation>Désactivé, les changements automatiques sur une connexion limitée montrent des images déjà enregistrées sur cet ordinateur.</translation>
    </message>
    <message>
        <source>Save data</source>
        <translation>Économiser les données</translation>
    </message>
    <message>
        <source>Downloads the smallest file that still fills your largest display.</source>
        <translation>Télécharge le plus petit fichier qui remplit encore votre plus grand écran.</translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation>Notifications</translation>
    </message>
    <message>
        <source>Notify when the wallpaper changes</source>
        <translation>Avertir quand le fond d’écran change</translation>
    </message>
    <message>
        <source>Shows each new picture as a desktop notification, with Next and Keep buttons.</source>
        <translation>Affiche chaque nouvelle image dans une notification du bureau, avec les boutons Suivant et Garder.</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>Démarrage</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>Lancer à l’ouverture de session</translation>
    </message>
    <message>
        <source>Starts Starvane in the tray when you log in, without opening its window.</source>
        <translation>Lance Starvane dans la zone de notification à l’ouverture de session, sans ouvrir sa fenêtre.</translation>
    </message>
    <message>
        <source>Close the preferences; every change is already saved</source>
        <translation>Fermer les préférences ; chaque changement est déjà enregistré</translation>
    </message>
    <message>
        <source>Launch at login could not be changed: %1</source>
        <translation>Le lancement à l’ouverture de session n’a pas pu être modifié : %1</translation>
    </message>
    <message>
        <source>This desktop&apos;s lock screen cannot be given a picture.</source>
        <translation>L’écran de verrouillage de ce bureau ne peut pas recevoir d’image.</translation>
    </message>
    <message>
        <source>Wallpaper, lock screen, network, notification and startup choices of Starvane</source>
        <translation>Fond d’écran, écran de verrouillage, réseau, notifications et démarrage de Starvane</translation>
    </message>
    <message>
        <source>Wallpaper</source>
        <translation>Fond d’écran</translation>
    </message>
    <message>
        <source>Show title and credit on the wallpaper</source>
        <translation>Afficher le titre et le crédit sur le fond d’écran</translation>
    </message>
    <message>
        <source>Writes them small in a corner that stays on screen, on a copy of the picture.</source>
        <translation>Les écrit en petit dans un coin qui reste visible, sur une copie de l’image.</translation>
    </message>
    <message>
        <source>Dim the wallpaper in dark style</source>
        <translation>Assombrir le fond d’écran en style sombre</translation>
    </message>
    <message>
        <source>Shows a darker copy of the picture while the desktop uses dark colours.</source>
        <translation>Affiche une copie plus sombre de l’image tant que le bureau utilise des couleurs sombres.</translation>
    </message>
</context>
<context>
    <name>Starvane::RelativeTime</name>
    <message numerus="yes">
        <source>in %Ln yr.</source>
        <translation>
            <numerusform>dans %Ln an</numerusform>
            <numerusform>dans %Ln ans</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln yr. ago</source>
        <translation>
            <numerusform>il y a %Ln an</numerusform>
            <numerusform>il y a %Ln ans</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln mo.</source>
        <translation>
            <numerusform>dans %Ln mois</numerusform>
            <numerusform>dans %Ln mois</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln mo. ago</source>
        <translation>
            <numerusform>il y a %Ln mois</numerusform>
            <numerusform>il y a %Ln mois</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln wk.</source>
        <translation>
            <numerusform>dans %Ln sem.</numerusform>
            <numerusform>dans %Ln sem.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln wk. ago</source>
        <translation>
            <numerusform>il y a %Ln sem.</numerusform>
            <numerusform>il y a %Ln sem.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln days</source>
        <translation>
            <numerusform>dans %Ln jour</numerusform>
            <numerusform>dans %Ln jours</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln days ago</source>
        <translation>
            <numerusform>il y a %Ln jour</numerusform>
            <numerusform>il y a %Ln jours</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln day</source>
        <translation>
            <numerusform>dans %Ln jour</numerusform>
            <numerusform>dans %Ln jours</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln day ago</source>
        <translation>
            <numerusform>il y a %Ln jour</numerusform>
            <numerusform>il y a %Ln jours</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln hr.</source>
        <translation>
            <numerusform>dans %Ln h</numerusform>
            <numerusform>dans %Ln h</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln hr. ago</source>
        <translation>
            <numerusform>il y a %Ln h</numerusform>
            <numerusform>il y a %Ln h</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln min.</source>
        <translation>
            <numerusform>dans %Ln min</numerusform>
            <numerusform>dans %Ln min</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln min. ago</source>
        <translation>
            <numerusform>il y a %Ln min</numerusform>
            <numerusform>il y a %Ln min</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>in %Ln sec.</source>
        <translation>
            <numerusform>dans %Ln s</numerusform>
            <numerusform>dans %Ln s</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln sec. ago</source>
        <translation>
            <numerusform>il y a %Ln s</numerusform>
            <numerusform>il y a %Ln s</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Starvane::SettingsCard</name>
    <message>
        <source>Change wallpaper</source>
        <translation>Changer de fond d’écran</translation>
    </message>
    <message>
        <source>How often to fetch a new Hubble image</source>
        <translation>À quelle fréquence charger une nouvelle image Hubble</translation>
    </message>
    <message>
        <source>Displays</source>
        <translation>Écrans</translation>
    </message>
    <message>
        <source>Where the wallpaper is applied</source>
        <translation>Où le fond d’écran est appliqué</translation>
    </message>
    <message>
        <source>This desktop shows one picture on all displays.</source>
        <translation>Ce bureau affiche la même image sur tous les écrans.</translation>
    </message>
</context>
<context>
    <name>Starvane::UpdateController</name>
    <message>
        <source>Could not check for updates: the update feed is too large.</source>
        <translation>Impossible de rechercher des mises à jour&#xa0;: le flux de mises à jour est trop volumineux.</translation>
    </message>
    <message>
        <source>Could not check for updates: %1</source>
        <translation>Impossible de rechercher des mises à jour&#xa0;: %1</translation>
    </message>
    <message>
        <source>Could not check for updates: the update server returned HTTP %1.</source>
        <translation>Impossible de rechercher des mises à jour&#xa0;: le serveur a répondu par une erreur HTTP %1.</translation>
    </message>
    <message>
        <source>Could not check for updates: the update feed could not be read.</source>
        <translation>Impossible de rechercher des mises à jour&#xa0;: le flux de mises à jour est illisible.</translation>
    </message>
    <message>
        <source>Starvane %1 is available (you have %2).</source>
        <translation>Starvane %1 est disponible (vous avez la version %2).</translation>
    </message>
    <message>
        <source>Starvane %1 is up to date.</source>
        <translation>Starvane %1 est à jour.</translation>
    </message>
    <message>
        <source>Download…</source>
        <translation>Télécharger…</translation>
    </message>
</context>
<context>
    <name>Starvane::WallpaperPreviewCard</name>
    <message>
        <source>Updating</source>
        <translation>Mise à jour</translation>
    </message>
    <message>
        <source>No wallpaper applied yet</source>
        <translation>Aucun fond d’écran appliqué pour l’instant</translation>
    </message>
    <message>
        <source>Fetching Hubble image…</source>
        <translation>Chargement de l’image Hubble…</translation>
    </message>
    <message>
        <source>Real high-resolution photographs from the ESA/Hubble archive.</source>
        <translation>De vraies photographies haute résolution issues des archives ESA/Hubble.</translation>
    </message>
    <message>
        <source>ESA/Hubble</source>
        <extracomment>Link to the image&apos;s page in the archive; the archive&apos;s name, usually left as it is</extracomment>
        <translation>ESA/Hubble</translation>
    </message>
    <message>
        <source>Open this image&apos;s page on the ESA/Hubble website</source>
        <translation>Ouvrir la page de cette image sur le site ESA/Hubble</translation>
    </message>
    <message>
        <source>Reveal File</source>
        <translation>Afficher le fichier</translation>
    </message>
    <message>
        <source>Show the wallpaper&apos;s file in the file manager</source>
        <translation>Afficher le fichier du fond d’écran dans le gestionnaire de fichiers</translation>
    </message>
    <message>
        <source>Hubble Space Telescope</source>
        <translation>Télescope spatial Hubble</translation>
    </message>
    <message>
        <source>Wallpaper: %1</source>
        <translation>Fond d’écran&#xa0;: %1</translation>
    </message>
    <message>
        <source>Credit: %1</source>
        <translation>Crédit&#xa0;: %1</translation>
    </message>
    <message>
        <source>About This Picture</source>
        <translation>À propos de cette image</translation>
    </message>
    <message>
        <source>What the picture shows, who made it and how to credit it</source>
        <translation>Ce que montre l’image, qui l’a réalisée et comment la créditer</translation>
    </message>
</context>
<context>
    <name>Starvane::WallpaperStore</name>
    <message>
        <source>There is no picture on screen to keep.</source>
        <translation>Aucune image affichée à garder.</translation>
    </message>
    <message>
        <source>There is no such picture.</source>
        <translation>Cette image n’existe pas.</translation>
    </message>
    <message>
        <source>The picture&apos;s file is gone; show it again first.</source>
        <translation>Le fichier de l’image a disparu ; affichez-la d’abord à nouveau.</translation>
    </message>
</context>
<context>
    <name>Starvane::WindowTexts</name>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Nothing on this desktop could open %1. Copy the address into a browser instead.</source>
        <extracomment>%1 is a web address or a folder</extracomment>
        <translation>Rien sur ce bureau n’a pu ouvrir %1. Copiez plutôt l’adresse dans un navigateur.</translation>
    </message>
</context>
</TS>
