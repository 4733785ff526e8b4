#include "controls/Skins.h"

#include "controls/CSkinButton.h"

void ApplySkin(CSkinButton* button, const ButtonSkinIds& skin) {
    button->SetSkin(skin.normal, skin.down, skin.over, skin.disabled, skin.focus, skin.mask, 0, 0,
                    0);
}

void SetUpCaptionButton(CSkinButton* button, const QString& tooltip) {
    button->SetTextColor(0);
    button->SetToolTipText(tooltip);
    ApplySkin(button, kCaptionSkin);
}
