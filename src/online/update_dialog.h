#pragma once
// CUpdateDialog: the small window that tells the user about newer versions
// (the update notice) or about the missing map runtime. A white link area
// shows the notice's text with its download pages as links; a click on a link
// opens the page in the user's browser. The close button ends the dialog.
//
// The text comes in as plain pieces (online/core/notice_text.h) and is
// escaped before it becomes the label's rich text: whatever the update server
// answered shows as text, never as a link or other markup. Only http and https
// addresses are opened.
//
// The dialog belongs to the desktop (no parent window); `placeNear` only
// chooses the monitor it is centred on (the primary one without). It stays
// above the viewer's other windows: asked to by the window manager, and,
// where there is none to ask, by raising itself again whenever one of them
// has been raised over it (a message box or menu of the viewer may still
// cover it).
//
// Callers: the main window on UM_UPDATE_AVAILABLE (ShowUpdateNotice) and at
// the end of its initialisation (ShowMapRuntimeNotice); UI thread only, with a
// QApplication.

#include <QPointer>
#include <QString>
#include <string>

#include "controls/skin_dialog.h"
#include "online/core/notice_text.h"
#include "online/core/update_check.h"

class QLabel;
class QScrollArea;
class QTimer;

namespace trivexa {

class CSkinButton;

class CUpdateDialog : public CSkinDialog {
    Q_OBJECT
public:
    // Control ids of the link control and of the close button.
    static constexpr int kLinkControlId = 1007;
    static constexpr int kCloseButtonId = 2;

    explicit CUpdateDialog(QWidget* placeNear = nullptr);
    ~CUpdateDialog() override;

    // Puts `text` into the link control.
    void SetText(const online::NoticeText& text);
    // The update notice: its text (cut to the notice's length) and the caption
    // of UI string 106.
    void SetNotice(const online::UpdateNotice& notice);

    // After a change of the layout scale: size, controls, fonts and place.
    void Relayout();

    // Opens `href` in the user's browser when it is an http or https address;
    // false (nothing opened) for anything else. Called for a clicked link.
    bool OpenLink(const QString& href);

    QLabel* LinkControl() const { return link_; }
    QScrollArea* LinkArea() const { return scroll_; }
    CSkinButton* Button() const { return button_; }

    static QColor LinkBackColour();  // white
    static QColor FaceColour();      // the dialog around the link area

    // Raises the dialog when another window of the viewer covers part of it
    // (not a modal box nor a popup menu); true when it did.
    bool KeepAbove();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPointer<QWidget> placeNear_;
    QTimer* keepAbove_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* link_ = nullptr;
    CSkinButton* button_ = nullptr;
};

// The main window's answer to UM_UPDATE_AVAILABLE: a notice with `notice`,
// shown modeless. It deletes itself when closed; the caller may keep the
// pointer in a QPointer to delete a notice still open at shutdown.
CUpdateDialog* ShowUpdateNotice(const online::UpdateNotice& notice, QWidget* placeNear = nullptr);

// The map runtime notice: when `runtimeInstalled` is false, shows the notice
// (caption UI string 184, UI string 185 and a link to `pageUrl`) and waits in
// a local event loop, input going to the notice alone, until the user closes
// it; returns true then. Returns false at once when the runtime is installed
// or no window can be shown (no QApplication). An empty `pageUrl` stands for
// the runtime page on the update server of the settings file.
bool ShowMapRuntimeNotice(bool runtimeInstalled, QWidget* placeNear = nullptr,
                          const std::string& pageUrl = {});

}  // namespace trivexa
