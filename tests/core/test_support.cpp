#include "tests/core/test_support.h"

#include <chrono>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>


namespace vesk::test {
namespace {

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Removes `name` below the open folder `parent`, going down through open descriptors so that
// no full path is ever built.
void RemoveAt(int parent, const std::string& name) {
  struct stat st {};
  if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    unlinkat(parent, name.c_str(), 0);
    return;
  }
  const int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  fchmod(fd, 0700);  // a test may have taken the rights away
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* d = readdir(dir)) {
    const std::string child = d->d_name;
    if (child != "." && child != "..") names.push_back(child);
  }
  for (const auto& child : names) RemoveAt(dirfd(dir), child);
  closedir(dir);
  unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

class WrappedFolder final : public platform::Folder {
 public:
  WrappedFolder(PlatformWrapper& owner, std::unique_ptr<platform::Folder> inner)
      : owner_(owner), inner_(std::move(inner)) {}
  bool Next(platform::FolderEntry& entry) override { return inner_->Next(entry); }
  std::optional<platform::FolderId> Id() const override { return inner_->Id(); }
  std::unique_ptr<platform::Folder> OpenChild(const platform::FolderEntry& entry, const std::string& fullPath,
                                              const std::string& pattern) override {
    owner_.RunOpenHook(fullPath);
    if (owner_.Refused(fullPath)) return nullptr;
    return owner_.Wrap(inner_->OpenChild(entry, fullPath, pattern));
  }

 private:
  PlatformWrapper& owner_;
  std::unique_ptr<platform::Folder> inner_;
};

using Fault = std::function<int(const std::string&, const std::string&)>;

int Ask(const Fault& fault, const std::string& operation, const std::string& name) {
  return fault ? fault(operation, name) : 0;
}

class WrappedNewFile final : public platform::NewFile {
 public:
  WrappedNewFile(const Fault& fault, std::string name, std::unique_ptr<platform::NewFile> inner)
      : fault_(fault), name_(std::move(name)), inner_(std::move(inner)) {}
  platform::Result Write(const std::string& bytes) override {
    if (const int error = Ask(fault_, "write", name_)) {
      inner_->Write(bytes.substr(0, bytes.size() / 2));
      return {error};
    }
    return inner_->Write(bytes);
  }
  platform::Result Finish() override {
    if (const int error = Ask(fault_, "finish", name_)) {
      inner_->Finish();
      return {error};
    }
    return inner_->Finish();
  }

 private:
  const Fault& fault_;
  std::string name_;
  std::unique_ptr<platform::NewFile> inner_;
};

class WrappedTarget final : public platform::TargetFolder {
 public:
  WrappedTarget(const Fault& fault, std::unique_ptr<platform::TargetFolder> inner)
      : fault_(fault), inner_(std::move(inner)) {}
  platform::Result OpenOrCreateChild(const std::string& name, std::unique_ptr<platform::TargetFolder>& child) override {
    if (const int error = Ask(fault_, "child", name)) return {error};
    std::unique_ptr<platform::TargetFolder> real;
    const platform::Result result = inner_->OpenOrCreateChild(name, real);
    if (result.ok()) child = std::make_unique<WrappedTarget>(fault_, std::move(real));
    return result;
  }
  std::optional<platform::FileDetails::Type> Look(const std::string& name, platform::Result& error) override {
    if (const int code = Ask(fault_, "look", name)) {
      error = {code};
      return std::nullopt;
    }
    return inner_->Look(name, error);
  }
  platform::Result CreateFile(const std::string& name, std::unique_ptr<platform::NewFile>& file) override {
    if (const int error = Ask(fault_, "create", name)) return {error};
    std::unique_ptr<platform::NewFile> real;
    const platform::Result result = inner_->CreateFile(name, real);
    if (result.ok()) file = std::make_unique<WrappedNewFile>(fault_, name, std::move(real));
    return result;
  }
  platform::Result ReadFile(const std::string& name, std::size_t maxBytes, std::string& bytes) override {
    if (const int error = Ask(fault_, "read", name)) return {error};
    return inner_->ReadFile(name, maxBytes, bytes);
  }
  platform::Result MoveNoReplace(const std::string& from, const std::string& to) override {
    if (const int error = Ask(fault_, "move", to)) return {error};
    return inner_->MoveNoReplace(from, to);
  }
  platform::Result Remove(const std::string& name) override {
    if (const int error = Ask(fault_, "remove", name)) return {error};
    return inner_->Remove(name);
  }

 private:
  const Fault& fault_;
  std::unique_ptr<platform::TargetFolder> inner_;
};

}  // namespace

platform::Result PlatformWrapper::OpenTargetBase(const std::string& folder,
                                                 std::unique_ptr<platform::TargetFolder>& base) {
  std::unique_ptr<platform::TargetFolder> real;
  const platform::Result result = platform::Native().OpenTargetBase(folder, real);
  if (result.ok()) base = std::make_unique<WrappedTarget>(targetFault, std::move(real));
  return result;
}

TempDir::TempDir() {
  char name[] = "/tmp/vesk-test-XXXXXX";
  if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name;
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path) { RemoveAt(AT_FDCWD, path); }

void MakeFolders(const std::string& path) {
  for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    const std::string part = path.substr(0, at);
    if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      throw std::runtime_error("mkdir failed: " + part);
    }
    if (at == std::string::npos) return;
  }
}

void WriteFile(const std::string& path, const std::string& bytes) {
  const auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeFolders(path.substr(0, slash));
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      close(fd);
      throw std::runtime_error("cannot write " + path);
    }
    done += static_cast<std::size_t>(n);
  }
  close(fd);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::string PlatformWrapper::GetEnv(const std::string& name) {
  if (onGetEnv) onGetEnv(name);
  const auto it = env.find(name);
  return it == env.end() ? std::string() : it->second;
}

bool PlatformWrapper::Refused(const std::string& folder) const {
  const std::string wanted = WithoutTrailingSeparator(folder);
  for (const auto& refused : refusedFolders) {
    if (WithoutTrailingSeparator(refused) == wanted) return true;
  }
  return false;
}

void PlatformWrapper::RunOpenHook(const std::string& folder) {
  if (!onOpenFolder) return;
  std::lock_guard lock(hookMutex_);
  onOpenFolder(folder);
}

std::unique_ptr<platform::Folder> PlatformWrapper::Wrap(std::unique_ptr<platform::Folder> folder) {
  if (!folder) return nullptr;
  return std::make_unique<WrappedFolder>(*this, std::move(folder));
}

std::unique_ptr<platform::Folder> PlatformWrapper::OpenFolder(const std::string& folder,
                                                              const std::string& pattern) {
  RunOpenHook(folder);
  if (Refused(folder)) return nullptr;
  return Wrap(platform::Native().OpenFolder(folder, pattern));
}

platform::Result PlatformWrapper::ReadFileHead(const std::string& path, std::size_t maxBytes,
                                               std::string& bytes) {
  if (onRead) onRead(path);
  if (refusedReads.count(path) != 0) {
    bytes.clear();
    return {EACCES};
  }
  return platform::Native().ReadFileHead(path, maxBytes, bytes);
}

std::optional<std::int64_t> PlatformWrapper::FileLength(const std::string& path) {
  return platform::Native().FileLength(path);
}

std::optional<platform::FileStatus> PlatformWrapper::GetFileStatus(const std::string& path) {
  return platform::Native().GetFileStatus(path);
}

platform::Result PlatformWrapper::CheckFolder(const std::string& folder) {
  if (Refused(folder)) return {EACCES};
  return platform::Native().CheckFolder(folder);
}

platform::RemoveResult PlatformWrapper::RemoveFileBelow(const std::string& root, const std::string& path) {
  removeRoots.push_back(root);
  removeCalls.push_back(path);
  if (refuseAllRemovals || refusedRemovals.count(path) != 0) return {platform::Removal::kSystemError, EACCES};
  if (onRemoveBelow) onRemoveBelow(root, path);
  return platform::Native().RemoveFileBelow(root, path);
}

platform::Version PlatformWrapper::ProgramVersion() { return platform::Native().ProgramVersion(); }

void FakeList::Clear() {
  items.clear();
  selected.clear();
  current = -1;
}

void FakeList::AddItem(const std::string& text) {
  items.push_back(text);
  selected.push_back(false);
}

std::string FakeList::List(int index) const {
  return index >= 0 && index < ListCount() ? items[static_cast<std::size_t>(index)] : std::string();
}

bool FakeList::Selected(int index) const {
  return index >= 0 && index < ListCount() && selected[static_cast<std::size_t>(index)];
}

void FakeList::SetSelected(int index, bool value) {
  if (value) visibleWhileSelecting.push_back(visible);
  if (index >= 0 && index < ListCount()) selected[static_cast<std::size_t>(index)] = value;
}

void FakeList::SelectAll() {
  visibleWhileSelecting.push_back(visible);
  ListBox::SelectAll();
}

int FakeList::SelCount() const {
  int count = 0;
  for (const bool s : selected) count += s ? 1 : 0;
  return count;
}

void FakeList::ClickItem(int index) {
  current = index;
  for (int i = 0; i < ListCount(); ++i) selected[static_cast<std::size_t>(i)] = i == index;
}

void FakeList::UserSelect(const std::vector<int>& indexes) {
  std::fill(selected.begin(), selected.end(), false);
  for (const int i : indexes) {
    if (i >= 0 && i < ListCount()) selected[static_cast<std::size_t>(i)] = true;
    current = i;
  }
}

int FakeList::IndexOf(const std::string& text) const {
  for (int i = 0; i < ListCount(); ++i) {
    if (items[static_cast<std::size_t>(i)] == text) return i;
  }
  return -1;
}

std::vector<std::string> FakeList::SelectedItems() const {
  std::vector<std::string> result;
  for (int i = 0; i < ListCount(); ++i) {
    if (Selected(i)) result.push_back(List(i));
  }
  return result;
}

void FakeWindow::Popup(window::PopupMenu menu) {
  popups.push_back(menu);
  if (onPopup) onPopup(menu);
}

int FakeWindow::MsgBox(const std::string& text, int flags, const std::string& boxTitle) {
  boxes.push_back({text, flags, boxTitle});
  if (answers.empty()) return window::kIdOk;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void FakeWindow::SetBusy(bool value) {
  busy = value;
  busyHistory.push_back(value);
}

FakeValuesView::Node FakeValuesView::Find(const std::vector<std::string>& names) const {
  Node node = window::ValuesModel::kRoot;
  for (const std::string& name : names) {
    std::size_t row = 0;
    const std::size_t rows = model->RowCount(node);
    while (row < rows && model->Text(model->Child(node, row), window::ValuesModel::kName) != name) ++row;
    if (row == rows) return window::ValuesModel::kRoot;
    node = model->Child(node, row);
  }
  return node;
}

void FakeTasks::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  posted_.notify_all();
}

bool FakeTasks::RunUntilIdle(int timeoutMs) {
  while (true) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      if (!posted_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !tasks_.empty(); })) return false;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return true;
  }
}

std::size_t FakeTasks::Waiting() {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

window::ValuesControls FakeControls::ValuesBundle() {
  return window::ValuesControls{Tabs, Values, CopyValue, CopyAllJson, clipboard, tasks, accessibility};
}

window::Controls FakeControls::Bundle() {
  return window::Controls{form,       List1,      Text1,    List2,  Check1,       Command1_0,
                          Command1_1, Command2,   Label1,   KillCookie, VisitHomepage};
}

}  // namespace vesk::test
