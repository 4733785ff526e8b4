#pragma once
// The artwork of the program's buttons: which bitmaps (res/bitmap/<id>.bmp) make each look.

#include <QString>

class CSkinButton;

struct ButtonSkinIds {
    int normal, down, over, disabled, focus, mask;
};

// The large caption button of every dialog (disabled: the up picture, greyed).
inline constexpr ButtonSkinIds kCaptionSkin{146, 149, 150, 0, 151, 148};
// The four pack buttons under the list, each with its picture.
inline constexpr ButtonSkinIds kNewPackSkin{171, 168, 172, 0, 169, 174};
inline constexpr ButtonSkinIds kDeletePackSkin{178, 176, 179, 0, 177, 174};
inline constexpr ButtonSkinIds kSavePackSkin{187, 185, 188, 0, 186, 174};
inline constexpr ButtonSkinIds kPackInfoSkin{191, 189, 193, 0, 190, 174};

void ApplySkin(CSkinButton* button, const ButtonSkinIds& skin);
// The set-up every dialog gives its caption buttons: a black caption, the tooltip, and the large
// button skin at its natural size.
void SetUpCaptionButton(CSkinButton* button, const QString& tooltip);
