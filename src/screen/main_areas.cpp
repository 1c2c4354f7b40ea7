#include "screen/main_areas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "screen/main_layout.h"
#include "state/session_state.h"

namespace marvok::screen {

namespace {

bool hits(const Rect& area, Point point) { return area.contains(point); }

}  // namespace

Area left_click_area(Point point, const ControlRects& controls) {
  if (hits(grown_for_clicks(controls.volume), point)) return Area::VolumeKnob;
  if (hits(grown_for_clicks(controls.mic), point)) return Area::MicKnob;
  if (hits(grown_for_clicks(controls.params), point)) return Area::ParamsButton;
  if (hits(kNetworkArea, point)) return Area::Network;
  if (hits(kChannelPanelArea, point)) return Area::ChannelPanel;
  if (hits(kDocumentationArea, point)) return Area::Documentation;
  if (hits(kPictureArea, point)) return Area::Picture;
  if (hits(kVoiceHelpArea, point)) return Area::VoiceHelp;
  if (hits(kCreditArea, point)) return Area::Credit;
  if (hits(kCloseArea, point)) return Area::CloseCross;
  return Area::None;
}

Area right_click_area(Point point, const ControlRects& controls) {
  if (hits(kNetworkArea, point)) return Area::Network;
  if (hits(kChannelPanelArea, point)) return Area::ChannelPanel;
  if (hits(kDocumentationArea, point)) return Area::Documentation;
  if (hits(kPictureArea, point)) return Area::Picture;
  if (hits(kCreditArea, point)) return Area::Credit;
  if (hits(controls.volume, point)) return Area::VolumeKnob;
  if (hits(controls.mic, point)) return Area::MicKnob;
  if (hits(controls.params, point)) return Area::ParamsButton;
  if (hits(kVoiceHelpArea, point)) return Area::VoiceHelp;
  if (hits(kCountdownArea, point)) return Area::Countdown;
  return Area::None;
}

Area hover_area(Point point) {
  for (const auto& [area, rect] :
       {std::pair{Area::Network, kNetworkArea}, std::pair{Area::ChannelPanel, kChannelPanelArea},
        std::pair{Area::Documentation, kDocumentationArea}, std::pair{Area::Picture, kPictureArea},
        std::pair{Area::Credit, kCreditArea}, std::pair{Area::VoiceHelp, kVoiceHelpArea},
        std::pair{Area::Drag, kDragArea}})
    if (hits(rect, point)) return area;
  return Area::None;
}

std::u16string_view hover_text(Area area) {
  switch (area) {
    case Area::Network: return u"Cliquez sur NETWORK pour voir les correspondants";
    case Area::ChannelPanel: return u"Cliquez dans ce cadre pour voir tous les groupes";
    case Area::Documentation: return u"Cliquez sur cette icon pour ouvrir la documentation";
    case Area::Picture: return u"Cliquez sur cette animation pour ouvrir l'image partagée";
    case Area::Credit: return u"Cliquez ici pour plus d'information sur le concepteur";
    case Area::VoiceHelp: return u"Cliquez ici pour activer l'aide vocale";
    case Area::Drag: return u"Cliquez ici pour déplacer la fenêtre Marvok";
    default: return kWelcomeText;
  }
}

std::u16string_view spoken_text(Area area) {
  switch (area) {
    case Area::Picture: return u"Cliquez sur cette animation pour ouvrir ou envoyer une image partagée";
    case Area::VolumeKnob: return u"Cliquez autour de ce bouton pour régler le volume sonore";
    case Area::MicKnob: return u"Cliquez autour de ce bouton pour régler le niveau d'entrée du microphone";
    case Area::ParamsButton: return u"Cliquez sur ce bouton pour accéder à vos paramètres de réglage";
    case Area::Countdown: return u"Indique le temps restant avant fermeture si aucune activité";
    case Area::None: return u"Il n'y a rien de spécial ici";
    case Area::VoiceHelp:
    case Area::Drag:
    case Area::CloseCross: return {};
    // Elsewhere the help read aloud is the help line.
    default: return hover_text(area);
  }
}

float knob_level(const Rect& grown_knob, Point point) {
  const int dx = point.x - (grown_knob.left() + grown_knob.width / 2);
  const int dy = point.y - (grown_knob.top() + grown_knob.height / 2);
  double angle = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
  if (angle < 0) angle += 360.0;
  angle -= 90.0;
  if (angle < 0) angle += 360.0;
  return static_cast<float>(std::min(angle, 300.0) / 300.0);
}

}  // namespace marvok::screen
