#pragma once
// The model of the program in the editor, read on a thread of its own so that the window
// never waits for it. The window hands over a copy of its text with each request; a request
// overtakes the one before it: a reading under way is called off (its cancel flag), one
// still waiting is replaced, and a result that is no longer the newest when it is ready is
// thrown away (its generation number). The finished model goes to the done function on the
// worker's thread; the window carries it over to its own thread and checks IsLatest there
// once more, since a request may have come while it was on its way.
//
// The worker never sees a window: text in, model out.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "plot/Plot.h"
#include "plot/PlotModel.h"

class PlotWorker {
public:
    // Called on the worker's thread with each finished model that was the newest request
    // when it was done.
    using Done = std::function<void(std::shared_ptr<const PlotModel> model, uint64_t generation)>;

    explicit PlotWorker(Done done);
    // Calls off the reading under way and waits for the thread.
    ~PlotWorker();
    PlotWorker(const PlotWorker&) = delete;
    PlotWorker& operator=(const PlotWorker&) = delete;

    // A new reading of a program; the text is the worker's from here on. Returns the
    // request's generation: 1 for the first, one more for each that follows.
    uint64_t Submit(std::string text, const PlotSettings& settings);
    // Calls off whatever is under way or waiting; nothing more comes to the done function
    // until the next Submit.
    void Cancel();

    bool IsLatest(uint64_t generation) const { return generation == latest_.load(); }
    // A reading is waiting or under way.
    bool Busy() const;

    // For the tests: each reading runs this first on the worker's thread (a reading held
    // at its start, to be overtaken).
    std::function<void(uint64_t generation)> beforeReading;

private:
    struct Job {
        std::string text;
        PlotSettings settings;
        uint64_t generation = 0;
    };
    void Run();

    Done done_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<Job> waiting_;
    bool running_ = false;  // a reading is under way
    bool stop_ = false;
    std::atomic<bool> cancel_{false};
    std::atomic<uint64_t> latest_{0};
    std::thread thread_;  // started with the first request
};
