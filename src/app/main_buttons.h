#pragma once
// The main window's nineteen skinned buttons: the sixteen control buttons
// along the bottom (commands 38000 to 38015) and the three caption buttons
// (close 16, maximise/restore 17, minimise 18), with their pictures at the
// layout scale, their tooltips, the play button's two faces, the latched look
// of zoom mode and the map, placement from the main window's layout, and
// enabling from *Button enabling*.
//
// Callers: the main window, on the UI thread. It creates the buttons once,
// calls Rescale after every change of the layout scale, Place after every
// layout, and connects Command to its command table.

#include <QObject>
#include <array>

#include "app/core/control_buttons.h"
#include "app/core/main_layout.h"

class QWidget;

namespace trivexa {

class CSkinButton;

class MainButtons : public QObject {
    Q_OBJECT
public:
    // Creates the buttons as children of `window`, hidden until placed.
    explicit MainButtons(QWidget* window);

    CSkinButton* Control(int index) const;
    CSkinButton* Caption(int index) const;

    // Pictures of 32·s × 32·s for the control buttons and 46·s or 26·s by
    // 18·s for the caption buttons; tooltips in shared font 1.
    void Rescale(float s);
    // Moves and shows every button (nothing when the layout is not valid).
    void Place(const MainLayout& layout);
    // Hides or shows all nineteen (full screen hides them).
    void SetAllVisible(bool visible);

    // The play button's face: the pause picture and tooltip while playback
    // runs (`playIconPause`), else the play picture.
    void SetPlayFace(bool showPause);
    bool PlayFaceShowsPause() const { return showPause_; }
    // Zoom mode and the map window look pressed while on.
    void SetToggled(int index, bool on);
    // The maximise button's tooltip for the window's presentation.
    void UpdateMaximiseTooltip(bool maximised, bool fullScreen);

    // Applies *Button enabling* (nothing when it says not to apply).
    void Apply(const ButtonEnabling& enabling);
    // All control buttons at once (an open or a file task disables them; the
    // end margin disables them while it lasts).
    void SetControlsEnabled(bool enabled);
    void SetCaptionsEnabled(bool enabled);

Q_SIGNALS:
    // A button was clicked: its command id (a CommandId value).
    void Command(int commandId);

private:
    void SetFace(int index, int picture, int tooltip);

    std::array<CSkinButton*, kControlButtonCount> controls_{};
    std::array<CSkinButton*, kCaptionButtonCount> captions_{};
    float scale_ = 1.0f;
    bool showPause_ = false;
};

}  // namespace trivexa
