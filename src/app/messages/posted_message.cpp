#include "app/messages/posted_message.h"

#include <QCoreApplication>
#include <memory>

namespace trivexa {

QEvent::Type PostedMessageEventType() {
    // registerEventType is thread-safe; the static makes every caller agree.
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

PostedMessageEvent::PostedMessageEvent(unsigned message, std::uintptr_t wParam,
                                       std::intptr_t lParam)
    : QEvent(PostedMessageEventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

bool PostMessageTo(QObject* receiver, unsigned message, std::uintptr_t wParam,
                   std::intptr_t lParam) {
    if (receiver == nullptr) return false;
    // postEvent takes ownership of the heap event and deletes it after delivery.
    QCoreApplication::postEvent(
        receiver, std::make_unique<PostedMessageEvent>(message, wParam, lParam).release());
    return true;
}

const PostedMessageEvent* AsPostedMessage(const QEvent* event) {
    if (event == nullptr || event->type() != PostedMessageEventType()) return nullptr;
    return static_cast<const PostedMessageEvent*>(event);
}

}  // namespace trivexa
