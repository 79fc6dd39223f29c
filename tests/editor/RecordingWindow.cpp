#include "RecordingWindow.h"

#include "pluginterfaces/gui/iplugview.h"

namespace talven::test {

void OwnerTaskQueue::post(std::unique_ptr<WindowTask> task)
{
    std::lock_guard<std::mutex> guard(lock_);
    tasks_.push_back(std::move(task));
}

int OwnerTaskQueue::pump()
{
    int ran = 0;
    for (;;) {
        std::unique_ptr<WindowTask> task;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (tasks_.empty())
                return ran;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task->run();
        ++ran;
    }
}

std::size_t OwnerTaskQueue::pending() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return tasks_.size();
}

RecordingWindow::RecordingWindow(const char* title, Size contentSize, bool resizable, WindowControllerPtr controller)
    : title(title ? title : "(null)"), resizable(resizable),
      platformType(Steinberg::kPlatformTypeX11EmbedWindowID), controller_(std::move(controller)),
      size_(contentSize)
{
}

void RecordingWindow::userClose()
{
    report(1);
    close();
    if (controller_)
        controller_->onClose(*this);
}

void RecordingWindow::userResize(Size proposed)
{
    resize(controller_ ? controller_->constrainSize(*this, proposed) : proposed);
}

void RecordingWindow::show(int32 x, int32 y)
{
    calls.push_back("show " + std::to_string(x) + "," + std::to_string(y));
    if (controller_) {
        controller_->onContentScaleFactorChanged(*this, 1.5f);
        // As the platform's windows: one whose content stayed out stays hidden.
        if (!controller_->onShow(*this))
            return;
    }
    left = x;
    top = y;
    visible = true;
}

void RecordingWindow::show()
{
    calls.push_back("show");
    if (controller_) {
        controller_->onContentScaleFactorChanged(*this, 1.5f);
        // As the platform's windows: one whose content stayed out stays hidden.
        if (!controller_->onShow(*this))
            return;
    }
    visible = true;
}

void RecordingWindow::close()
{
    calls.push_back("close");
    visible = false;
    report(1);
}

// Like the real window, the controller hears of the new size before this
// returns, and a size that does not change is no event.
void RecordingWindow::resize(Size newSize)
{
    calls.push_back("resize " + std::to_string(newSize.width) + "x" + std::to_string(newSize.height));
    if (newSize == size_)
        return;
    size_ = newSize;
    if (controller_)
        controller_->onResize(*this, size_);
}

void RecordingWindow::setPositionCallback(PositionCallback callback)
{
    calls.push_back("setPositionCallback");
    if (callbackSet_)
        return;
    callback_ = callback;
    callbackSet_ = true;
}

NativePlatformWindow RecordingWindow::getNativePlatformWindow() const
{
    return {platformType, const_cast<RecordingWindow*>(this)};
}

Steinberg::tresult RecordingWindow::queryInterface(const Steinberg::TUID, void**)
{
    return Steinberg::kNoInterface;
}

std::unique_ptr<WindowTask> RecordingWindow::handToOwnerThread(std::unique_ptr<WindowTask> task)
{
    if (!ownerQueue || std::this_thread::get_id() == owner)
        return task;
    ownerQueue->post(std::move(task));
    return nullptr;
}

void RecordingWindow::report(int32 closing) const
{
    if (callback_)
        callback_(left, top, closing);
}

RecordingWindowFactory::RecordingWindowFactory() : previous_(replaceEditorWindowFactory(this)) {}

RecordingWindowFactory::~RecordingWindowFactory()
{
    replaceEditorWindowFactory(previous_);
}

WindowPtr RecordingWindowFactory::makeWindow(const char* title, Size contentSize, bool resizable,
                                             const WindowControllerPtr& controller)
{
    ++requests;
    if (fail)
        return nullptr;
    auto window = std::make_shared<RecordingWindow>(title, contentSize, resizable, controller);
    window->ownerQueue = ownerQueue;
    made.push_back(window);
    return window;
}

} // namespace talven::test
