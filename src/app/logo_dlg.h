#pragma once
// CLogoDlg: the window that covers the map area of the map host window when
// no map can be shown there. It draws, on its own dark ground and inside a
// frame of the skin's frame pattern, either the recorder's logo (chosen by the
// model code: 0 any other, 1 PL21-XQR, 2 PL35-XQR) when the map could be
// shown but there is nothing to show, or the map-unavailable picture when the
// map itself is missing (the variant flag). The pictures keep their
// proportions and fill as much of the window as they can.
//
// The owner sets the visibility flag and then posts UM_LOGO_SHOW; on that
// message the window shows itself when the flag is set and hides otherwise.
//
// Callers: the main window, on the UI thread. The skin image set must outlive
// the window.

#include <QWidget>

namespace trivexa {

class CResourceImage;

enum class LogoVariant : int {
    kLogo = 0,   // the recorder's logo
    kNoMap = 1,  // the map is not available
};

class CLogoDlg : public QWidget {
public:
    CLogoDlg(const CResourceImage* skin, QWidget* parent = nullptr);

    void SetModelCode(int code);
    int ModelCode() const { return modelCode_; }
    void SetVariant(LogoVariant variant);
    LogoVariant Variant() const { return variant_; }
    // Read on the next UM_LOGO_SHOW.
    void SetVisibleFlag(bool on) { visibleFlag_ = on; }
    bool VisibleFlag() const { return visibleFlag_; }

    // The picture drawn now: the model's logo or the map-unavailable picture.
    int PictureNumber() const;
    // The logo of a model code (any unknown code gives the plain logo).
    static int LogoForModel(int code);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    const CResourceImage* skin_;
    int modelCode_ = 0;
    LogoVariant variant_ = LogoVariant::kNoMap;
    bool visibleFlag_ = false;
};

}  // namespace trivexa
