#include "folder_read_ahead.h"

#include <algorithm>

#include "memory_room.h"

namespace vek {

bool FolderReadAhead::ByOrder::operator()(const Folder* a, const Folder* b) const {
  return a->order_ < b->order_;
}

FolderReadAhead::FolderReadAhead(FileSystem& fileSystem, unsigned helpers, std::size_t window,
                                 std::chrono::microseconds slowCall)
    : fileSystem_(fileSystem),
      window_(std::max<std::size_t>(window, 1)),
      mostHelpers_(helpers),
      slowCall_(slowCall) {}

void FolderReadAhead::AddHelper() {
  if (stopping_ || helpers_.size() >= mostHelpers_) return;
  try {
    // No more threads to be had, or no room for one: the walk reads the rest.
    if (RoomFor(kThreadRoom)) {
      helpers_.emplace_back([this] { Help(); });
      return;
    }
  } catch (const std::exception&) {
  }
  mostHelpers_ = helpers_.size();
}

FolderReadAhead::~FolderReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  work_.notify_all();
}

FolderReadAhead::Folder& FolderReadAhead::Root(const NativePath& path, bool recurse) {
  const std::lock_guard lock(mutex_);
  recurse_ = recurse;
  root_ = std::make_unique<Folder>(Key(), path, nullptr, Order(), false);
  waiting_.insert(root_.get());
  work_.notify_one();
  return *root_;
}

void FolderReadAhead::Wait(Folder& folder) {
  std::unique_lock lock(mutex_);
  if (folder.state_ == Folder::State::Known) {
    waiting_.erase(&folder);
    Read(folder, lock);
  } else {
    done_.wait(lock, [&folder] { return folder.state_ == Folder::State::Read; });
    --ahead_;
    work_.notify_one();
  }
  if (folder.failure_) std::rethrow_exception(folder.failure_);
}

void FolderReadAhead::Forget(Folder& folder) {
  const std::lock_guard lock(mutex_);
  std::vector<std::unique_ptr<Folder>>().swap(folder.subfolders_);
  std::deque<FolderEntry>().swap(folder.files_);
}

void FolderReadAhead::Read(Folder& folder, std::unique_lock<std::mutex>& lock) {
  folder.state_ = Folder::State::Running;
  lock.unlock();
  bool slow = false;
  try {
    if (recurse_) {
      const auto start = std::chrono::steady_clock::now();
      folder.identity_ = fileSystem_.Identity(folder.path_);
      slow = std::chrono::steady_clock::now() - start >= slowCall_;
      // A folder whose identity cannot be read is still entered: its listing reports why.
      if (folder.identity_ && !folder.identity_->Known()) folder.identity_.reset();
      bool throughLink = folder.link_;
      for (const Folder* up = folder.parent_; up && folder.identity_ && !folder.loop_;
           up = up->parent_) {
        folder.loop_ = throughLink && up->identity_ == folder.identity_;
        throughLink = throughLink || up->link_;
      }
    }
    if (!folder.loop_) {
      FolderListing listing;
      folder.error_ = fileSystem_.ListFolder(folder.path_, listing);
      folder.files_ = std::move(listing.files);
      if (recurse_) {
        folder.subfolders_.reserve(listing.subfolders.size());
        for (FolderEntry& subfolder : listing.subfolders) {
          Order order = folder.order_;
          order.push_back(static_cast<std::uint32_t>(folder.subfolders_.size()));
          folder.subfolders_.push_back(std::make_unique<Folder>(
              Key(), std::move(subfolder.path), &folder, order, subfolder.link != 0));
        }
      }
    }
  } catch (...) {
    folder.failure_ = std::current_exception();
    folder.subfolders_.clear();
  }
  lock.lock();
  if (slow) AddHelper();
  folder.state_ = Folder::State::Read;
  for (const std::unique_ptr<Folder>& subfolder : folder.subfolders_)
    waiting_.insert(subfolder.get());
  if (!folder.subfolders_.empty()) work_.notify_all();
  done_.notify_all();
}

void FolderReadAhead::Help() noexcept {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stopping_ || (!waiting_.empty() && ahead_ < window_); });
    if (stopping_) return;
    // The first folder in walk order: the one the walk will need soonest.
    Folder& folder = **waiting_.begin();
    waiting_.erase(waiting_.begin());
    ++ahead_;
    Read(folder, lock);
  }
}

}  // namespace vek
