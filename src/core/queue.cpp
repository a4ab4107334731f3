#include "core/queue.h"

#include <algorithm>
#include <numeric>

namespace tavu {

bool WorkQueue::Add(const std::u16string& path) {
  auto folded = fold_(path);
  if (index_.count(folded) != 0)
    return false;
  list_.Append(path);
  index_.insert(std::move(folded));
  return true;
}

void WorkQueue::PutFirst(const std::u16string& path) {
  auto folded = fold_(path);
  int queued = -1;
  if (index_.count(folded) != 0)
    for (int i = 0, n = list_.Count(); i < n && queued < 0; ++i)
      if (fold_(list_.Item(i)) == folded)
        queued = i;
  list_.Insert(0, path);
  if (queued >= 0)
    list_.Delete(queued + 1);
  index_.insert(std::move(folded));
}

void WorkQueue::RemoveHead() {
  if (list_.Count() == 0)
    return;
  index_.erase(fold_(list_.Item(0)));
  list_.Delete(0);
}

void WorkQueue::Rebuild() {
  index_.clear();
  for (int i = 0, n = list_.Count(); i < n; ++i)
    index_.insert(fold_(list_.Item(i)));
}

void SortForDrop(std::vector<std::u16string>& paths, const SortKey& key) {
  std::vector<std::string> keys;
  keys.reserve(paths.size());
  for (const auto& p : paths)
    keys.push_back(key(p));
  std::vector<std::size_t> order(paths.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  std::vector<std::u16string> sorted;
  sorted.reserve(paths.size());
  for (auto i : order)
    sorted.push_back(std::move(paths[i]));
  paths = std::move(sorted);
}

} // namespace tavu
