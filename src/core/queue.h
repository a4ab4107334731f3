#pragma once
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tavu {

// What the work queue needs of the list that holds it (the main window's list box).
class QueueList {
public:
  virtual ~QueueList() = default;
  virtual int Count() const = 0;
  virtual std::u16string Item(int index) const = 0;
  // Appends at the end; throws tavu::Exception when the list cannot take it.
  virtual void Append(const std::u16string& path) = 0;
  // Puts the path in at the index; throws as Append does.
  virtual void Insert(int index, const std::u16string& path) = 0;
  virtual void Delete(int index) = 0;
};

// Folds a path so that two paths the file system takes for the same name
// (ordinal, ignoring letter case) fold to the same string.
using PathFold = std::function<std::u16string(const std::u16string&)>;

// The work queue over its list: the list stays the queue, this keeps only a
// folded index beside it, so every add and removal must go through here.
class WorkQueue {
public:
  WorkQueue(QueueList& list, PathFold fold) : list_(list), fold_(std::move(fold)) {}

  int Count() const { return list_.Count(); }
  // Answered from the index, which holds one entry per queued path: asked
  // once per path of a drop, the list box would take a message each time.
  bool Empty() const { return index_.empty(); }
  std::u16string Item(int index) const { return list_.Item(index); }
  std::u16string Head() const { return Count() > 0 ? list_.Item(0) : std::u16string(); }
  // Appends the path unless an equal one is queued; reports whether it was appended.
  bool Add(const std::u16string& path);
  // Puts the path at the head; an equal one queued elsewhere leaves its place.
  void PutFirst(const std::u16string& path);
  // Deletes item 0 if there is one.
  void RemoveHead();
  // Makes the index anew from the list (after the list was rebuilt).
  void Rebuild();

private:
  QueueList& list_;
  PathFold fold_;
  std::unordered_set<std::u16string> index_;
};

// Sorts dropped paths by sort keys made once per path; a byte-wise comparison
// of the keys gives the order of the locale comparison they were made for.
using SortKey = std::function<std::string(const std::u16string&)>;
void SortForDrop(std::vector<std::u16string>& paths, const SortKey& key);

} // namespace tavu
