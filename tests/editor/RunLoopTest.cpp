// The Linux editor thread and the run loop it offers views, without a
// display: work handed to the thread, timers and descriptor handlers
// registered and unregistered at any time (from inside a handler too), the
// references the run loop holds, and the thread ending once nothing is left.
#include "TestSupport.h"

#include "editor/EditorThread.h"
#include "editor/PlugRunLoop.h"

#include "pluginterfaces/base/smartpointer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>

using namespace Steinberg;

namespace talven::test {
namespace {

// A handler of the plug-in's side: counts its calls and the references held
// on it, notes a call off the editor thread, and may act from inside a call.
template <typename Interface>
class Handler : public Interface {
public:
    std::atomic<int> references{1};
    std::atomic<int> calls{0};
    std::atomic<bool> calledElsewhere{false};
    std::function<void()> onCall; // set before registering; runs on the editor thread

    tresult PLUGIN_API queryInterface(const TUID, void**) override { return kNoInterface; }
    uint32 PLUGIN_API addRef() override { return static_cast<uint32>(++references); }
    uint32 PLUGIN_API release() override { return static_cast<uint32>(--references); }

protected:
    void called()
    {
        if (!EditorThread::isCurrent())
            calledElsewhere = true;
        ++calls;
        if (onCall)
            onCall();
    }
};

class Timer : public Handler<Linux::ITimerHandler> {
public:
    void PLUGIN_API onTimer() override { called(); }
};

class Reader : public Handler<Linux::IEventHandler> {
public:
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor fd) override
    {
        char byte = 0;
        while (read(fd, &byte, 1) > 0) {
        }
        called();
    }
};

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe()
    {
        int ends[2];
        if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
    ~Pipe()
    {
        closeWriteEnd();
        if (read >= 0)
            close(read);
    }
    void closeWriteEnd()
    {
        if (write >= 0)
            close(write);
        write = -1;
    }
    void poke() const { static_cast<void>(::write(write, "x", 1)); }
};

void onEditorThread(const std::function<void()>& work)
{
    ASSERT_TRUE(EditorThread::call(work));
}

class RunLoopTest : public ::testing::Test {
protected:
    // A run loop of the editor thread, which a slow timer keeps running: a
    // run loop serves only the run of the thread it was made in.
    void SetUp() override
    {
        // A thread of an earlier test has ended.
        ASSERT_TRUE(waitUntil([] { return !EditorThread::running(); }));
        onEditorThread([&] {
            loop = owned(new PlugRunLoop());
            loop->registerTimer(&keepAlive, 60 * 1000);
        });
    }
    void TearDown() override
    {
        onEditorThread([&] {
            loop->retire();
            loop = nullptr;
        });
        // Nothing registered any more: the thread ends by itself.
        EXPECT_TRUE(waitUntil([] { return !EditorThread::running(); }));
    }

    // The plug-in's handlers, declared before the run loop: they outlive the
    // retiring in TearDown, which lets go of whatever a failed test left.
    Timer keepAlive;
    Timer timer;
    Timer second;
    Reader reader;
    IPtr<PlugRunLoop> loop;
};

TEST(EditorThreadTest, WorkRunsOnTheNamedEditorThreadWhileTheCallerWaitsAndInlineFromThatThread)
{
    std::thread::id worker;
    std::thread::id nested;
    char name[32] = {};
    EXPECT_TRUE(EditorThread::call([&] {
        worker = std::this_thread::get_id();
        pthread_getname_np(pthread_self(), name, sizeof(name));
        EditorThread::call([&] { nested = std::this_thread::get_id(); });
    }));
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(nested, worker);
    EXPECT_EQ(std::string(name), "talven-editor");
    EXPECT_FALSE(EditorThread::isCurrent());
    // With nothing to serve it ends, and starts again for the next work.
    EXPECT_TRUE(waitUntil([] { return !EditorThread::running(); }));
    EXPECT_TRUE(EditorThread::call([] {}));
}

TEST(EditorThreadTest, AnExceptionOfTheWorkComesBackToTheCaller)
{
    EXPECT_THROW(EditorThread::call([] { throw std::runtime_error("from the editor thread"); }),
                 std::runtime_error);
    bool ran = false;
    EXPECT_TRUE(EditorThread::call([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

class CountingTask : public Steinberg::Vst::EditorHost::WindowTask {
public:
    explicit CountingTask(std::atomic<int>& runs) : runs_(runs) {}
    void run() noexcept override { ++runs_; }

private:
    std::atomic<int>& runs_;
};

TEST_F(RunLoopTest, PostingRunsATaskOnTheRunningThreadButNeverStartsOne)
{
    std::atomic<int> runs{0};
    EXPECT_EQ(EditorThread::post(std::make_unique<CountingTask>(runs)), nullptr);
    EXPECT_TRUE(waitUntil([&] { return runs == 1; }));

    onEditorThread([&] { loop->unregisterTimer(&keepAlive); });
    ASSERT_TRUE(waitUntil([] { return !EditorThread::running(); }));
    EXPECT_NE(EditorThread::post(std::make_unique<CountingTask>(runs)), nullptr);
    EXPECT_FALSE(EditorThread::running());
    EXPECT_EQ(runs, 1);
}

TEST_F(RunLoopTest, ATimerTicksOnTheEditorThreadAndIsHeldUntilUnregistered)
{
    onEditorThread([&] { EXPECT_EQ(loop->registerTimer(&timer, 5), kResultOk); });
    EXPECT_EQ(timer.references, 2);
    EXPECT_TRUE(waitUntil([&] { return timer.calls >= 3; }));
    onEditorThread([&] { EXPECT_EQ(loop->unregisterTimer(&timer), kResultOk); });
    EXPECT_EQ(timer.references, 1);
    EXPECT_FALSE(timer.calledElsewhere);
    onEditorThread([&] { EXPECT_EQ(loop->unregisterTimer(&timer), kResultFalse); }); // not registered
}

TEST_F(RunLoopTest, AHandlerCalledWhenItsDescriptorIsReadableMayUnregisterItselfFromInside)
{
    Pipe pipe;
    ASSERT_GE(pipe.read, 0);
    reader.onCall = [&] {
        if (reader.calls == 2) {
            EXPECT_EQ(loop->unregisterEventHandler(&reader), kResultOk);
        }
    };
    onEditorThread([&] { EXPECT_EQ(loop->registerEventHandler(&reader, pipe.read), kResultOk); });
    pipe.poke();
    EXPECT_TRUE(waitUntil([&] { return reader.calls == 1; }));
    pipe.poke();
    // Let go only once its call has returned.
    EXPECT_TRUE(waitUntil([&] { return reader.calls == 2 && reader.references == 1; }));
    pipe.poke();
    onEditorThread([] {}); // one more round of the loop
    EXPECT_EQ(reader.calls, 2);
    EXPECT_FALSE(reader.calledElsewhere);
}

TEST_F(RunLoopTest, ATimerMayReplaceItselfWithAnotherFromInsideItsTick)
{
    timer.onCall = [&] {
        EXPECT_EQ(loop->unregisterTimer(&timer), kResultOk);
        EXPECT_EQ(loop->registerTimer(&second, 5), kResultOk);
    };
    onEditorThread([&] { loop->registerTimer(&timer, 5); });
    EXPECT_TRUE(waitUntil([&] { return second.calls >= 2; }));
    EXPECT_EQ(timer.calls, 1);
    EXPECT_EQ(timer.references, 1);
    EXPECT_EQ(second.references, 2);
}

TEST_F(RunLoopTest, AHungUpDescriptorIsReportedOnceAndThenNoLongerWaitedOn)
{
    Pipe pipe;
    onEditorThread([&] { loop->registerEventHandler(&reader, pipe.read); });
    pipe.closeWriteEnd();
    EXPECT_TRUE(waitUntil([&] { return reader.calls == 1; }));
    for (int i = 0; i < 3; ++i)
        onEditorThread([] {}); // rounds in which a watched hang-up would call again
    EXPECT_EQ(reader.calls, 1);
}

TEST_F(RunLoopTest, RetiringDropsEveryRegistrationAndRefusesNewOnes)
{
    Pipe pipe;
    onEditorThread([&] {
        loop->registerTimer(&timer, 1000);
        loop->registerEventHandler(&reader, pipe.read);
    });
    EXPECT_EQ(timer.references, 2);
    // Only the editor thread may register.
    EXPECT_EQ(loop->registerTimer(&second, 5), kResultFalse);
    EXPECT_EQ(second.references, 1);

    onEditorThread([&] {
        loop->retire();
        EXPECT_EQ(loop->registerTimer(&timer, 5), kResultFalse);
        EXPECT_EQ(loop->registerEventHandler(&reader, pipe.read), kResultFalse);
    });
    EXPECT_EQ(timer.references, 1);
    EXPECT_EQ(reader.references, 1);
    EXPECT_TRUE(waitUntil([] { return !EditorThread::running(); }));
}

} // namespace
} // namespace talven::test
