// The items of a list box or of a combo box's list: strings with a value
// each, one selected item or none, and the messages both classes share.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/controls/controls.h"

namespace ksv::platform::ui::controls {

class ItemList {
 public:
  struct Item {
    std::string text;
    LPARAM data = 0;
  };

  explicit ItemList(bool sorted) : sorted_(sorted) {}

  int Count() const { return static_cast<int>(items_.size()); }
  int Selection() const { return selection_; }
  bool Has(int index) const { return index >= 0 && index < Count(); }
  const Item& At(int index) const { return items_[static_cast<size_t>(index)]; }
  // The selected item's text, or "" with none.
  std::string SelectedText() const { return Has(selection_) ? At(selection_).text : std::string(); }

  // -1 for none; false for an index out of range (the selection stays).
  bool Select(int index);
  // The first item at or after `from` whose text starts with `prefix`
  // (without case), wrapping round; -1 when none.
  int FindFrom(int from, const std::string& prefix) const;

  // What the shared messages mean, whichever class's numbers they came in.
  enum class Operation {
    Add, Insert, Delete, Reset, Count, GetSelection, SetSelection, GetText, GetTextLength,
    Find, FindExact, SelectString, GetData, SetData,
  };
  // Its result (CB_ERR and LB_ERR are both -1). `clearOnBadIndex`: a
  // selection out of range removes the selection (combo boxes).
  LRESULT Handle(Operation operation, WPARAM wParam, LPARAM lParam, bool clearOnBadIndex);

 private:
  int Add(const std::string& text);
  int Insert(int index, const std::string& text);
  int Delete(int index);
  // Starting after `start` (-1: from the first), wrapping round.
  int Find(int start, const std::string& text, bool exact) const;

  bool sorted_;
  std::vector<Item> items_;
  int selection_ = -1;
};

// The operation behind a CB_ or LB_ message, if it is one of the shared ones.
std::optional<ItemList::Operation> ComboOperation(UINT message);
std::optional<ItemList::Operation> ListOperation(UINT message);

}  // namespace ksv::platform::ui::controls
