#include "cli/print_command.h"

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "bridges/output_files.h"
#include "jobs/messages.h"
#include "print/workbook_pdf.h"

namespace ledgerix {

namespace {

// The processors this process may run on (its affinity, as taskset or a container sets it).
std::size_t Processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<std::size_t>(CPU_COUNT(&set));
  return std::thread::hardware_concurrency();
}

std::size_t WorkersFor(const PdfPrintRequest& request) {
  std::size_t n = request.jobs ? request.jobs : Processors();
  // Past a handful of workers the disk and the shared font caches, not the processors, limit.
  return std::clamp<std::size_t>(std::min(n, request.fileNames.size()), 1, 16);
}

// Workbooks rendered ahead of the one being written, by a pool of threads, each result taken in
// list order. A workbook is started only while fewer than one per worker wait beyond the one
// being taken, so memory is that of a few workbooks whatever the size of the batch. The renderer
// keeps its pango and fontconfig objects per thread, so the workers share none.
class RenderAhead {
 public:
  RenderAhead(const PdfPrintRequest& request, std::size_t workers)
      : request_(request), slots_(request.fileNames.size()), window_(workers + 1) {
    for (std::size_t i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
  }
  ~RenderAhead() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  RenderAhead(const RenderAhead&) = delete;
  RenderAhead& operator=(const RenderAhead&) = delete;

  // The i-th workbook's document, waiting for it; its error is thrown here. Taken in order.
  RenderedPdf Take(std::size_t i) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return slots_[i].done; });
    Slot slot = std::move(slots_[i]);
    slots_[i] = Slot{};
    taken_ = i + 1;
    lock.unlock();
    changed_.notify_all();
    if (slot.error) std::rethrow_exception(slot.error);
    return std::move(slot.pdf);
  }

 private:
  struct Slot {
    bool done = false;
    RenderedPdf pdf;
    std::exception_ptr error;
  };

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock,
                    [&] { return stop_ || next_ >= slots_.size() || next_ < taken_ + window_; });
      if (stop_ || next_ >= slots_.size()) return;
      const std::size_t i = next_++;
      lock.unlock();
      Slot slot;
      slot.done = true;
      try {
        slot.pdf = RenderWorkbookPdf(request_.sheetScope, request_.sourceFolder,
                                     request_.fileNames[i], request_.fitWidth);
      } catch (...) {
        slot.error = std::current_exception();
      }
      lock.lock();
      slots_[i] = std::move(slot);
      changed_.notify_all();
    }
  }

  const PdfPrintRequest& request_;
  std::vector<Slot> slots_;
  const std::size_t window_;
  std::size_t next_ = 0, taken_ = 0;
  bool stop_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::thread> threads_;  // last: started once everything above is ready
};

}  // namespace

int RunPdfPrint(const PdfPrintRequest& request, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> pdfs = PdfNamesFor(request.fileNames);
  const std::size_t workers = WorkersFor(request);
  std::unique_ptr<RenderAhead> ahead;
  if (workers > 1) ahead = std::make_unique<RenderAhead>(request, workers);
  int last = 0;
  for (std::size_t i = 0; i < request.fileNames.size(); ++i) {
    const std::string& name = request.fileNames[i];
    try {
      const std::string target = request.pdfFolder + pdfs[i];
      last = ahead ? WriteWorkbookPdf(ahead->Take(i), target)
                   : PrintWorkbookToPdf(request.sheetScope, request.sourceFolder, name, target,
                                        request.fitWidth);
      out << name << "\t" << last;
      if (last != 0) out << "\t" << target;
      out << '\n';
    } catch (const std::exception& e) {
      std::string what = e.what();
      if (what.empty()) what = kInternalError;
      err << "打印文件 " << name << " 时出错：" << what << '\n';
      return 1;
    }
  }
  try {
    SyncOutputFolder(request.pdfFolder);
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return 1;
  }
  if (!request.fileNames.empty() && last != 0) out << kPrintDone << '\n';
  return 0;
}

}  // namespace ledgerix
