// The worker that reads the editor's program on a thread of its own: a request's model comes
// back with its generation, an overtaken reading (waiting or under way) never comes back,
// Cancel silences it, and the worker stops at once when it goes. Plain threads, no window: the thread sanitizer runs this program.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "PlotTestSupport.h"
#include "plot/PlotWorker.h"

namespace {
using namespace std::chrono_literals;

// Waits up to 5 s for the worker to have nothing left to do.
void WaitIdle(const PlotWorker& worker) {
    for (int k = 0; k < 5000 && worker.Busy(); ++k) std::this_thread::sleep_for(1ms);
}

// What the done function was given, and a wait for it.
struct Results {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint64_t> generations;
    std::vector<size_t> moves;
    std::vector<std::string> firstMove;

    PlotWorker::Done Sink() {
        return [this](std::shared_ptr<const PlotModel> model, uint64_t generation) {
            std::lock_guard<std::mutex> lock(mutex);
            generations.push_back(generation);
            moves.push_back(model->path.size());
            firstMove.push_back(model->path.empty() ? "" : MovesOf(model->path)[0]);
            changed.notify_all();
        };
    }
    bool WaitFor(size_t count, std::chrono::milliseconds limit = 20000ms) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return generations.size() >= count; });
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return generations.size();
    }
};

// A gate the worker waits at before a reading, opened by the test.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    std::vector<uint64_t> arrived;

    void Hold(uint64_t generation) {
        std::unique_lock<std::mutex> lock(mutex);
        arrived.push_back(generation);
        changed.notify_all();
        changed.wait_for(lock, 20s, [&] { return open; });
    }
    bool WaitArrived(size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return arrived.size() >= count; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }
    std::vector<uint64_t> Arrived() {
        std::lock_guard<std::mutex> lock(mutex);
        return arrived;
    }
};

std::string Square(int size) {
    std::string s = "G0 X" + std::to_string(size) + " Y0\r\n";
    return s + "G1 Y" + std::to_string(size) + " F100\r\nX0\r\nY0\r\n";
}

std::string Big(int lines) {
    std::string s;
    for (int i = 0; i < lines; ++i) s += "G1 X" + std::to_string(i % 97) + " Y" + std::to_string(i % 89) + "\r\n";
    return s;
}
}  // namespace

TEST(PlotWorker, ARequestComesBackWithItsGeneration) {
    Results results;
    PlotWorker worker(results.Sink());
    std::string text = Square(10);
    EXPECT_EQ(worker.Submit(text, Mill()), 1u);
    ASSERT_TRUE(results.WaitFor(1));
    EXPECT_EQ(results.generations, std::vector<uint64_t>{1});
    EXPECT_EQ(results.moves[0], 4u);
    EXPECT_EQ(results.firstMove[0], "1\tG0\t10.0000\t0.0000\t0.0000");
    EXPECT_TRUE(worker.IsLatest(1));

    // The next one: its settings go with it.
    EXPECT_EQ(worker.Submit("BEGIN PGM 1 MM\r\nL X5 Y5 FMAX\r\nEND PGM 1 MM\r\n", Heidenhain()), 2u);
    ASSERT_TRUE(results.WaitFor(2));
    EXPECT_EQ(results.generations[1], 2u);
    EXPECT_EQ(results.firstMove[1], "2\tG0\t5.0000\t5.0000\t0.0000");
    // Once it has come back, the worker is idle.
    WaitIdle(worker);
    EXPECT_FALSE(worker.Busy());
}

TEST(PlotWorker, AnOvertakenReadingNeverComesBack) {
    Results results;
    Gate gate;
    PlotWorker worker(results.Sink());
    worker.beforeReading = [&](uint64_t g) { gate.Hold(g); };
    // The first reading is held at its start; the second waits and is replaced by the third.
    worker.Submit(Square(1), Mill());
    ASSERT_TRUE(gate.WaitArrived(1));
    worker.Submit(Square(2), Mill());
    worker.Submit(Square(3), Mill());
    EXPECT_TRUE(worker.Busy());
    gate.Open();
    ASSERT_TRUE(results.WaitFor(1));
    WaitIdle(worker);
    // The first was called off before it read a block, the second never started.
    EXPECT_EQ(gate.Arrived(), (std::vector<uint64_t>{1, 3}));
    EXPECT_EQ(results.generations, std::vector<uint64_t>{3});
    EXPECT_EQ(results.firstMove[0], "1\tG0\t3.0000\t0.0000\t0.0000");

    // A long reading overtaken while it runs: only the newest comes back, however far the
    // first had come.
    Gate started;
    started.Open();  // told of the start, not held
    worker.beforeReading = [&](uint64_t g) { started.Hold(g); };
    worker.Submit(Big(300000), Mill());
    ASSERT_TRUE(started.WaitArrived(1));
    uint64_t last = worker.Submit(Square(4), Mill());
    ASSERT_TRUE(results.WaitFor(2));
    WaitIdle(worker);
    EXPECT_EQ(results.generations, (std::vector<uint64_t>{3, last}));
    EXPECT_EQ(results.moves[1], 4u);
}

TEST(PlotWorker, CancelSilencesItAndTheWorkerStopsAtOnceWhenItGoes) {
    Results results;
    Gate gate;
    {
        PlotWorker worker(results.Sink());
        worker.beforeReading = [&](uint64_t g) { gate.Hold(g); };
        worker.Submit(Square(1), Mill());
        ASSERT_TRUE(gate.WaitArrived(1));
        worker.Cancel();
        EXPECT_FALSE(worker.IsLatest(1));
        gate.Open();
        WaitIdle(worker);
        EXPECT_FALSE(worker.Busy());
        EXPECT_EQ(results.Count(), 0u);

        // A request after Cancel comes back as usual.
        worker.beforeReading = nullptr;
        uint64_t g = worker.Submit(Square(5), Mill());
        ASSERT_TRUE(results.WaitFor(1));
        EXPECT_EQ(results.generations, std::vector<uint64_t>{g});

        // Going while a long reading runs: it is called off, not waited for to its end.
        worker.Submit(Big(1000000), Mill());
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(results.Count(), 1u);
}
