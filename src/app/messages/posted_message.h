#pragma once
// Window-to-window notifications. Every window and worker of the viewer reports
// to another window by posting one of these numbered messages; the receiver
// gets it on its own (UI) thread as a PostedMessageEvent carrying the message
// number and its two parameters, so message tables read one to one in the code.

#include <QEvent>
#include <QObject>
#include <cstdint>

namespace trivexa {

// Base of the custom message numbers.
inline constexpr unsigned kWmApp = 0x8000;

enum UserMessage : unsigned {
    UM_GRAPH_NOTIFY = kWmApp + 0x004,
    UM_TASK_PROGRESS = kWmApp + 0x008,
    UM_VIDEO_CLICKED = kWmApp + 0x009,
    UM_SLIDER_TRACK = kWmApp + 0x065,
    UM_SLIDER_DOWN = kWmApp + 0x066,
    UM_SLIDER_UP = kWmApp + 0x067,
    UM_MAP_READY = kWmApp + 0x12D,
    UM_MAP_SEEK = kWmApp + 0x12E,
    UM_GRAPH_PREV_EVENT = kWmApp + 0x191,
    UM_GRAPH_NEXT_EVENT = kWmApp + 0x192,
    UM_EVENT_DISPLAY = kWmApp + 0x1F5,
    UM_VIDEO_MENU = kWmApp + 0x25C,
    UM_VIDEO_ZOOM_AT = kWmApp + 0x25F,
    UM_PLAYER_ENDED = kWmApp + 0x260,
    UM_PLAYER_READY = kWmApp + 0x261,
    UM_INFO_TOGGLE = kWmApp + 0x2BD,
    UM_ENGINE_ENDED = kWmApp + 0x3EA,
    UM_ENGINE_READY = kWmApp + 0x3EB,
    UM_FOLDER_SELECTED = kWmApp + 0x456,
    UM_SOURCE_LOST = kWmApp + 0x4B1,
    UM_OPEN_PREPARED = kWmApp + 0x515,
    UM_TASK_DONE = kWmApp + 0x516,
    UM_DELETE_DONE = kWmApp + 0x517,
    UM_JOIN_DONE = kWmApp + 0x518,
    UM_CSV_DONE = kWmApp + 0x519,
    UM_DEFERRED_INIT = kWmApp + 0x51A,
    UM_APPBAR_NOTIFY = kWmApp + 0x51B,
    UM_LOGO_SHOW = kWmApp + 0x5DD,
    UM_SUBWINDOW_PAINTED = kWmApp + 0x76D,
    UM_SUBWINDOW_CLOSED = kWmApp + 0x76E,
    UM_SUBWINDOW_DBLCLK = kWmApp + 0x76F,
    UM_SUBWINDOW_SIZED = kWmApp + 0x770,
    UM_UPDATE_AVAILABLE = kWmApp + 0x7D1,
};

// The Qt event type every posted message travels as; registered once.
QEvent::Type PostedMessageEventType();

// One posted message. Receivers test `event->type() == PostedMessageEventType()`
// in QObject::event (or customEvent) and read the three fields.
class PostedMessageEvent : public QEvent {
public:
    PostedMessageEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    unsigned message() const { return message_; }
    std::uintptr_t wParam() const { return wParam_; }
    std::intptr_t lParam() const { return lParam_; }

private:
    unsigned message_;
    std::uintptr_t wParam_;
    std::intptr_t lParam_;
};

// Queues the message for `receiver`; callable from any thread. The event is
// delivered on the receiver's thread by its event loop. Returns false when
// there is no receiver (the message is dropped), like posting to no window.
bool PostMessageTo(QObject* receiver, unsigned message, std::uintptr_t wParam = 0,
                   std::intptr_t lParam = 0);

// Convenience for receivers: the posted message carried by `event`, or
// nullptr when the event is something else.
const PostedMessageEvent* AsPostedMessage(const QEvent* event);

}  // namespace trivexa
