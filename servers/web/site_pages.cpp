#include "site_pages.h"

#include <string_view>

#include "state/version.h"

namespace marvok::web_server {

namespace {

constexpr std::string_view kStyle = R"css(
body { font-family: "Liberation Sans", Arial, sans-serif; max-width: 46em; margin: 2em auto; padding: 0 1em;
       color: #222; line-height: 1.5; }
header { border-bottom: 3px solid #1e6fb8; margin-bottom: 1.5em; }
h1 { color: #1e6fb8; margin-bottom: 0.2em; }
h2 { color: #1e6fb8; margin-top: 1.6em; }
nav a { margin-right: 1.2em; }
kbd { border: 1px solid #999; border-radius: 3px; padding: 0 0.3em; background: #f4f4f4; }
pre { background: #f4f4f4; padding: 0.8em; overflow-x: auto; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 0.2em 0.7em; text-align: left; }
footer { margin-top: 3em; font-size: 0.9em; color: #666; }
)css";

std::string page(std::string_view title, std::string_view body) {
  std::string html = "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n";
  html.append("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
  html.append(title).append("</title>\n<style>").append(kStyle).append("</style>\n</head>\n<body>\n");
  html.append("<header>\n<h1>").append(title).append("</h1>\n");
  html.append(
      "<nav><a href=\"/FR-Marvok.php\">Documentation</a><a href=\"/telechargement.php\">Installation</a></nav>\n");
  html.append("</header>\n").append(body);
  html.append("<footer>Marvok ").append(kClientVersion);
  html.append(" — réseau de téléphonie de loisir</footer>\n</body>\n</html>\n");
  return html;
}

constexpr std::string_view kDocumentation = R"html(
<p>Marvok relie les membres du réseau par la voix : on appuie pour parler, on relâche pour écouter,
comme avec un talkie-walkie. Au démarrage, le client se présente au service web, qui lui donne votre
numéro de membre et votre nom, puis affiche votre fiche.</p>

<h2>Parler</h2>
<ul>
<li>Maintenez la barre <kbd>Espace</kbd> enfoncée pendant que vous parlez, relâchez-la pour écouter.</li>
<li>Avec la pédale USB (bouton de conversation branché sur un adaptateur série USB), maintenez le
bouton enfoncé de la même façon. L'icône à côté de la fenêtre est noire sans pédale, verte quand la
pédale est prête, rouge quand elle est appuyée.</li>
<li>Pendant qu'un membre parle, sa photo et sa fiche (prénom, ville, phrase) s'affichent dans la fenêtre.</li>
</ul>

<h2>Changer de canal</h2>
<p>Le réseau compte onze canaux, de 0 à 10. Les touches <kbd>0</kbd> à <kbd>9</kbd>, du clavier ou du
pavé numérique, choisissent les canaux 0 à 9 ; la touche <kbd>+</kbd> du pavé numérique choisit le canal 10.</p>
<table>
<tr><th>Canal</th><th>Nom</th></tr>
<tr><td>0</td><td>Bienvenue</td></tr>
<tr><td>1</td><td>Accueil Général</td></tr>
<tr><td>2</td><td>Place du village</td></tr>
<tr><td>3</td><td>Zone Technologie</td></tr>
<tr><td>4</td><td>Les Ondes Radio</td></tr>
<tr><td>5</td><td>Au café de la gare</td></tr>
<tr><td>6</td><td>Evasion et camping</td></tr>
<tr><td>7</td><td>La bonne ambiance</td></tr>
<tr><td>8</td><td>Entre copines</td></tr>
<tr><td>9</td><td>Musique en stéréo</td></tr>
<tr><td>10</td><td>Tests divers</td></tr>
</table>

<h2>Le compte à rebours</h2>
<p>Sous TIME LEFT, un compte à rebours part de 4500 secondes (1 heure 15 minutes). Chaque touche
relâchée et chaque appui sur la pédale le remettent à 4500. S'il arrive à zéro, le client se ferme :
un client oublié n'occupe pas le réseau.</p>

<h2>Le compagnon vocal</h2>
<p>Le compagnon de synthèse vocale lit l'aide à voix haute : faites un clic droit sur une partie de la
fenêtre pour entendre à quoi elle sert. L'icône du haut-parleur, en haut à gauche, démarre ou arrête
le compagnon.</p>

<h2>La fenêtre réseau</h2>
<p>Un clic sur NETWORK ouvre la fenêtre « Marvok Network » : elle montre les membres présents dans votre
canal, avec leur photo, et se met à jour pendant que les membres arrivent et partent.</p>

<h2>L'échange d'images</h2>
<p>Un clic sur l'animation ouvre la fenêtre « Marvok Echange et Partage », qui montre l'image partagée de
votre canal (pas sur le canal 0). Dans le menu Fichier, « Actualiser » la recharge et « Envoyer » vous
laisse choisir une image (PNG, JPEG, BMP ou GIF, de moins de 10 000 000 octets) que tous les membres du
canal verront à leur tour.</p>

<h2>Vos paramètres</h2>
<p>La fenêtre des paramètres montre votre fiche et vous laisse choisir la couleur de fond de la fenêtre
principale ; le service web la garde pour vos prochaines connexions.</p>
)html";

// The installer page, on either side of the package's name.
constexpr std::string_view kInstallerBeforePackage = R"html(
<p>Marvok fonctionne sous Linux ; Debian 12 est le système de référence. Il vous faut une carte son (ou
un casque USB) et, si vous le souhaitez, une pédale de conversation USB.</p>

<h2>Avec le paquet Debian</h2>
<p>Lorsque l'administrateur de votre réseau publie un paquet Debian de Marvok, installez-le avec :</p>
<pre>sudo apt install ./)html";
constexpr std::string_view kInstallerAfterPackage = R"html(</pre>
<p>Marvok apparaît ensuite dans le menu des applications. Si vous aviez une version plus ancienne,
quittez-la avant d'installer la nouvelle.</p>

<h2>Depuis les sources</h2>
<ol>
<li>Installez les paquets nécessaires (le script utilise <code>sudo</code> si besoin) :
<pre>./scripts/install-deps.sh</pre></li>
<li>Compilez :
<pre>cmake --preset default
cmake --build --preset default</pre></li>
<li>Installez :
<pre>sudo cmake --install build/default</pre></li>
</ol>
<p>Les adresses du relais et du service web sont fixées à la compilation
(<code>MARVOK_RELAY_ADDRESS</code>, <code>MARVOK_WEB_HOST</code>, <code>MARVOK_WEB_PORT</code>,
<code>MARVOK_WEB_CA_FILE</code>), par exemple :</p>
<pre>cmake --preset default -DMARVOK_RELAY_ADDRESS=192.0.2.10 -DMARVOK_WEB_HOST=marvok.example</pre>

<h2>Premier démarrage</h2>
<p>Au premier démarrage, le service web vous inscrit et vous donne un numéro de membre. Votre photo,
votre prénom et votre phrase sont ensuite réglés par l'administrateur du réseau.</p>
)html";

}  // namespace

std::string documentation_page() { return page("Marvok — documentation", kDocumentation); }

std::string installer_page() {
  // Named as the packaging script names it for this version.
  const std::string package = std::string("marvok_") + kClientVersion + "_amd64.deb";
  return page("Marvok — installation",
              std::string(kInstallerBeforePackage).append(package).append(kInstallerAfterPackage));
}

}  // namespace marvok::web_server
