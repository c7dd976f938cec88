#include "app/task_frame.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/core/layout_scale.h"
#include "app/messages/posted_message.h"
#include "controls/shared_fonts.h"
#include "controls/skin_progress.h"

namespace trivexa {

namespace {
constexpr int kBarHeightUnits = 22;
constexpr int kUiComplete = 44;
constexpr int kUiCompleteCaption = 45;
constexpr int kErrorCaption = -1;

unsigned DoneMessage(TaskKind kind) {
    switch (kind) {
        case TaskKind::kCsv:
            return UM_CSV_DONE;
        case TaskKind::kDelete:
            return UM_DELETE_DONE;
        case TaskKind::kJoin:
            return UM_JOIN_DONE;
        case TaskKind::kRepair:
            // No completion message: the recording's open goes on.
            return UM_TASK_DONE;
    }
    return UM_TASK_DONE;
}
}  // namespace

int TaskPercent(int done, int total) {
    if (total <= 0) return 100;
    const long long p = static_cast<long long>(done) * 100 / total;
    return static_cast<int>(std::clamp<long long>(p, 0, 100));
}

CTaskFrame::CTaskFrame(TaskFrameOwner& owner, QWidget* barParent)
    : owner_(owner), bar_(std::make_unique<CSkinProgressBarCtrl>(barParent)) {
    // A frameless tool window over everything, so it may cover the bottom of
    // the primary screen whatever the main window's size and place.
    bar_->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus);
    bar_->setAttribute(Qt::WA_ShowWithoutActivating);
    bar_->SetRange(0, 100);
    bar_->hide();
}

CTaskFrame::~CTaskFrame() { CancelAndWait(); }

QRect CTaskFrame::BarRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {};
    const QRect r = screen->geometry();
    const int h = U(kBarHeightUnits);
    return QRect(r.left(), r.bottom() + 1 - h, r.width(), h);
}

bool CTaskFrame::Start(std::unique_ptr<FileTask> task) {
    if (task == nullptr || task_ != nullptr) return false;
    task_ = std::move(task);

    if (HaveSharedFonts()) bar_->setFont(SharedFont(2));
    bar_->setGeometry(BarRect());
    bar_->SetPos(0);
    bar_->show();
    bar_->raise();
    bar_->repaint();

    owner_.SetControlsEnabled(false);
    task_->Start(*this);
    return true;
}

void CTaskFrame::CancelAndWait() {
    if (task_ == nullptr) return;
    task_->Cancel();
    task_->Wait();
    task_.reset();
    bar_->hide();
}

void CTaskFrame::SetRestorePosition(std::int64_t position) {
    restorePosition_ = true;
    savedPosition_ = position;
}

void CTaskFrame::TaskProgress(int done, int total) {
    PostMessageTo(this, UM_TASK_PROGRESS, static_cast<std::uintptr_t>(std::max(done, 0)),
                  static_cast<std::intptr_t>(total));
}

void CTaskFrame::TaskFinished(TaskKind kind, TaskOutcome outcome) {
    PostMessageTo(this, outcome == TaskOutcome::kDone ? DoneMessage(kind) : UM_TASK_DONE);
}

bool CTaskFrame::event(QEvent* event) {
    const PostedMessageEvent* m = AsPostedMessage(event);
    if (m == nullptr) return QObject::event(event);
    switch (m->message()) {
        case UM_TASK_PROGRESS:
            OnProgress(static_cast<int>(m->wParam()), static_cast<int>(m->lParam()));
            return true;
        case UM_CSV_DONE:
        case UM_DELETE_DONE:
        case UM_JOIN_DONE:
            OnTaskSucceeded();
            return true;
        case UM_TASK_DONE:
            OnTaskDone();
            return true;
        default:
            return QObject::event(event);
    }
}

void CTaskFrame::OnProgress(int done, int total) {
    // A late report of a task already ended (or cancelled at shutdown) is
    // dropped.
    if (task_ == nullptr) return;
    bar_->SetPos(TaskPercent(done, total));
    // Kept above windows that came up meanwhile (a message box, the map).
    bar_->raise();
    owner_.TaskProgressed(*task_);
}

void CTaskFrame::OnTaskSucceeded() {
    if (task_ == nullptr) return;
    // The worker's last act was its report; its results are complete.
    task_->Wait();
    owner_.TaskSucceeded(*task_);
    completionMessage_ = true;
    PostMessageTo(this, UM_TASK_DONE);
}

void CTaskFrame::OnTaskDone() {
    if (task_ == nullptr) return;
    std::unique_ptr<FileTask> task = std::move(task_);
    task->Wait();
    if (task->Outcome() != TaskOutcome::kDone) owner_.TaskStopped(*task);

    if (task->Outcome() == TaskOutcome::kFailed) {
        completionMessage_ = false;
        const std::vector<int>& texts = task->Failure().messages;
        for (std::size_t i = 0; i < texts.size(); ++i)
            owner_.ShowTaskMessage(texts[i], kErrorCaption, i == 0 ? task->Failure().detail : "");
    }
    if (completionMessage_) {
        completionMessage_ = false;
        owner_.ShowTaskMessage(kUiComplete, kUiCompleteCaption, task->DoneDetail());
    }
    owner_.SetControlsEnabled(true);
    if (resetToStart_) {
        resetToStart_ = false;
        owner_.ResetToStart();
    }
    if (openErrorShown_) {
        openErrorShown_ = false;
    } else {
        owner_.EnableButtons();
    }
    bar_->hide();
    if (restorePosition_) {
        restorePosition_ = false;
        owner_.RestorePosition(savedPosition_);
    }
    owner_.TaskEnded(*task);
}

}  // namespace trivexa
