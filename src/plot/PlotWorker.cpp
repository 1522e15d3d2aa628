#include "plot/PlotWorker.h"

PlotWorker::PlotWorker(Done done) : done_(std::move(done)) {}

PlotWorker::~PlotWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        waiting_.reset();
        cancel_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

uint64_t PlotWorker::Submit(std::string text, const PlotSettings& settings) {
    auto job = std::make_unique<Job>();
    job->text = std::move(text);
    job->settings = settings;
    uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = latest_.load() + 1;
        job->generation = generation;
        latest_ = generation;
        waiting_ = std::move(job);  // one still waiting is overtaken
        if (running_) cancel_ = true;
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
    return generation;
}

void PlotWorker::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.reset();
    if (running_) cancel_ = true;
    latest_ = latest_.load() + 1;  // a result on its way is no longer the newest
}

bool PlotWorker::Busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || waiting_ != nullptr;
}

void PlotWorker::Run() {
    for (;;) {
        std::unique_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || waiting_ != nullptr; });
            if (stop_) return;
            job = std::move(waiting_);
            running_ = true;
            cancel_ = false;
        }
        if (beforeReading) beforeReading(job->generation);
        PlotRun run;
        run.cancel = &cancel_;
        std::shared_ptr<const PlotModel> model;
        if (!cancel_) model = BuildPlotModel(job->text, job->settings, run);
        bool deliver = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            running_ = false;
            deliver = model && !model->path.cancelled && !cancel_ && !stop_ &&
                      job->generation == latest_.load();
        }
        const uint64_t generation = job->generation;
        job.reset();  // the text is let go before the model goes
        if (deliver && done_) done_(std::move(model), generation);
    }
}
