#pragma once
// CResourceImage: the main window's skin image set. It holds, rendered for
// the current layout scale, every picture the main window and its panels
// draw: the window background, the trip panel's marks and placeholders, the
// three logos, the twelve quality badges, the digits and signs, the zoom-mode
// pictures, the map-unavailable picture, the sixteen small pictures of the map
// (position marker, fifteen event icons, start marker), the frame pattern as a
// brush, and the application icon.
//
// On this toolkit the pictures are our own drawings with an alpha channel, so
// they need no conversion onto a background colour, and the memory drawing
// contexts the set once carried are the painters of whoever draws.
//
// Callers: the main window creates the set once its rectangle is known (step
// 6 of its initialisation) and loads it again after every change of the
// layout scale; the panels and the logo window read pictures from it. UI
// thread only.

#include <QBrush>
#include <QIcon>
#include <QPixmap>
#include <map>
#include <span>

namespace trivexa {

class CResourceImage {
public:
    CResourceImage() = default;

    // Renders every picture of the set at its design size × s. A picture that
    // cannot be rendered leaves its entry empty (its readers draw nothing).
    void Load(float s);
    bool Loaded() const { return loaded_; }
    float Scale() const { return scale_; }
    // Counts the loads, so that whoever keeps drawings made from the set can
    // tell they are out of date.
    int Generation() const { return generation_; }

    // The pictures in load order: the set, then the map's small pictures.
    static std::span<const int> SetOrder();
    static std::span<const int> EventIconOrder();

    // Picture `number` at its design size × s (the first frame of a strip);
    // null when it is not part of the set or could not be rendered.
    QPixmap Picture(int number) const;
    // Picture `number` drawn at any size, for pictures that are stretched
    // (the logos, the background); null for a number outside the set.
    QPixmap PictureAt(int number, QSize size) const;
    // The design size of a picture of the set (empty outside it).
    QSize DesignSize(int number) const;
    // How many entries hold a picture.
    int LoadedCount() const;

    // The map's small pictures by their order: 0 the position marker, 1..15
    // the event icons, 16 the start marker.
    QPixmap EventIcon(int order) const;

    // The frame pattern (picture 313) as a brush, for the logo window's frame.
    QBrush FrameBrush() const { return frameBrush_; }
    // A solid white brush (the set's three white brushes are one on Qt).
    static QBrush WhiteBrush() { return QBrush(Qt::white); }
    // The application icon (171).
    QIcon AppIcon() const { return appIcon_; }

private:
    bool InSet(int number) const;

    bool loaded_ = false;
    float scale_ = 1.0f;
    int generation_ = 0;
    std::map<int, QPixmap> pictures_;
    QBrush frameBrush_;
    QIcon appIcon_;
};

}  // namespace trivexa
