// The JSON Pointer of every value a reference points at, made once the whole file is read (a
// later duplicate key changes the name it is written under). The items are in pre-order, so
// one pass with a stack of open containers knows the path to each item as it comes to it.

#include <algorithm>

#include "lso/reader.h"
#include "lso/text_forms.h"

namespace vesk::lso::detail {
namespace {

// How a container writes the places of its children.
enum class Places : std::uint8_t { Keys, Indexes, ItemsAndMembers, WrappedItems, Entries, Same };

Places PlacesOf(const Tape::Impl& t, std::uint32_t item) {
  switch (t.items[item].tag()) {
    case Tag::Object: return Places::Keys;
    case Tag::Array: return ArrayHasMembers(t, item) ? Places::ItemsAndMembers : Places::Indexes;
    case Tag::Vector: return VectorHasWrapper(ClassNameOf(t, item), FlagOf(t, item)) ? Places::WrappedItems : Places::Indexes;
    case Tag::Dictionary: return Places::Entries;
    case Tag::External: return Places::Same;
    default: return Places::Indexes;
  }
}

void AppendPointerName(std::string& out, std::string_view name) {
  for (char c : name) {
    if (c == '~') out += "~0";
    else if (c == '/') out += "~1";
    else out += c;
  }
}

}  // namespace

void Reader::Pointers() {
  std::vector<std::uint32_t> targets;
  for (const Item& item : t_.items)
    if (item.tag() == Tag::Reference) targets.push_back(item.aux);
  if (targets.empty()) return;
  std::sort(targets.begin(), targets.end());
  targets.erase(std::unique(targets.begin(), targets.end()), targets.end());

  struct Frame {
    std::uint32_t item;  // kNoItem: the pairs
    std::uint32_t end;
    std::uint32_t row = 0;    // children so far, elements of runs counted one by one
    std::uint32_t dense = 0;  // of them at an index
    std::size_t pathLength;   // the path of the container itself
    Places places;
  };
  std::string path = "/values", buffer, segment;
  std::vector<Frame> frames{Frame{kNoItem, static_cast<std::uint32_t>(t_.items.size()), 0, 0, path.size(), Places::Keys}};
  std::size_t nextTarget = 0;
  bool refused = false;  // a pointer past the budget: later references are not written
  const std::size_t copyBudget = copies_;
  for (std::uint32_t i = 0; i < t_.items.size(); ++i) {
    while (frames.back().end <= i) frames.pop_back();
    Frame& parent = frames.back();
    path.resize(parent.pathLength);
    Item& item = t_.items[i];
    segment.clear();
    const bool keyed = item.key() != KeyForm::None;
    switch (parent.places) {
      case Places::Keys:
      case Places::ItemsAndMembers:
        if (keyed) {
          segment += parent.places == Places::Keys ? "/" : "/$members/";
          AppendPointerName(segment, JsonName(t_, i, parent.item, parent.row, buffer));
          if (item.payload() != 0) segment.append(" (").append(std::to_string(item.payload())).append(")");
        } else {
          segment.append("/$items/").append(std::to_string(parent.dense));
        }
        break;
      case Places::Indexes: segment.append("/").append(std::to_string(parent.dense)); break;
      case Places::WrappedItems: segment.append("/$items/").append(std::to_string(parent.dense)); break;
      case Places::Entries:
        segment.append("/$dictionary/").append(std::to_string(parent.row / 2)).append(parent.row % 2 ? "/1" : "/0");
        break;
      case Places::Same: break;
    }
    // A path longer than what may still be copied is never written: stop building it.
    if (path.size() + segment.size() <= copyBudget + 1) path += segment;
    else path.resize(copyBudget + 2);
    while (nextTarget < targets.size() && targets[nextTarget] < i) ++nextTarget;
    if (nextTarget < targets.size() && targets[nextTarget] == i && path.size() <= copyBudget) {
      if (Charge(path.size() + sizeof(std::pair<std::uint32_t, std::string>), Offset(i), nullptr)) {
        t_.pointers.emplace_back(i, path);
      }
    }
    if (item.tag() == Tag::Reference) {
      auto found = std::lower_bound(t_.pointers.begin(), t_.pointers.end(), item.aux,
                                    [](const auto& p, std::uint32_t at) { return p.first < at; });
      const bool known = found != t_.pointers.end() && found->first == item.aux;
      if (refused || !known || found->second.size() > copies_) {
        if (!refused) {
          Note(Offset(i), "references copy more than " + std::to_string(copyBudget) +
                              " bytes; this and later references are not written");
          refused = true;
        }
        const std::uint32_t renamed = item.payload();
        item = Item::Make(item.at, Tag::Problem, item.key(), item.amf3(), item.switched());
        item.set_payload(renamed);
        item.aux = static_cast<std::uint32_t>(t_.problems.size() - 1);
      } else {
        copies_ -= found->second.size();
      }
    }
    const std::uint32_t rows = item.tag() == Tag::Run ? item.payload() : 1;
    parent.row += rows;
    if (!keyed) parent.dense += rows;
    if (IsContainer(item.tag()) && item.tag() != Tag::NumberVector) {
      frames.push_back(Frame{i, item.aux, 0, 0, path.size(), PlacesOf(t_, i)});
    }
  }
}

std::size_t Reader::Offset(std::uint32_t item) const {
  return t_.items[item].tag() == Tag::Problem ? t_.problems[t_.items[item].aux].offset : t_.ValueAt(item);
}

}  // namespace vesk::lso::detail
