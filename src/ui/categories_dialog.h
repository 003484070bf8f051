// TfrmCategories: the report categories of the report set (add, rename,
// delete, reorder).
//
// Reports name their category by its number, which is its place in the
// list; the dialog edits a copy of the list (TCategoryEdit), which
// remembers where every old category went, and OK renumbers every report
// so that it stays in its category. Reports of a deleted category go to
// the category before it (the one after it when it was the first). A
// report whose number names no category keeps it. Cancel changes nothing.
// Main thread only.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace trelvar {
class TRepParser;
}

namespace trelvar::ui {

class TfrmMainW;

// The edited copy of the category list: pure data, no windows.
class TCategoryEdit {
 public:
  explicit TCategoryEdit(const TRepParser& set);

  int Count() const { return static_cast<int>(entries_.size()); }
  const std::string& Name(int index) const { return entries_.at(static_cast<size_t>(index)).name; }
  // The reports that would be in the entry after OK.
  int ReportCount(int index) const;

  // A name must be one line and not empty; false when refused.
  bool Add(const std::string& name);
  bool Rename(int index, const std::string& name);
  // Refused (false) for the only category while reports belong to it.
  bool Remove(int index);
  // Moves an entry to another place (both in the list).
  void Move(int from, int to);

  // The set's categories become the edited list; every report's number
  // follows its category.
  void ApplyTo(TRepParser& set) const;

 private:
  struct TEntry {
    std::string name;
    std::vector<int> old_numbers;  // the old categories whose reports it takes
  };
  std::vector<TEntry> entries_;
  std::vector<int> report_numbers_;  // every report's number now
  int old_count_ = 0;
};

class TfrmCategories : public QDialog {
  Q_OBJECT

 public:
  TfrmCategories(TfrmMainW& main, QWidget* parent = nullptr);

  TCategoryEdit& Edit() { return edit_; }
  // The list shown again from the edit (after a change made through Edit()).
  void Refill(int select);
  // OK: the edit goes to the report set.
  void accept() override;

 private:
  void AddClick();
  void RenameClick();
  void DeleteClick();
  void MoveClick(int step);
  void ItemRenamed(QListWidgetItem* item);
  int Selected() const;

  TfrmMainW& main_;
  TCategoryEdit edit_;
  QListWidget* lstCategories_ = nullptr;
  QPushButton* btnRename_ = nullptr;
  QPushButton* btnDelete_ = nullptr;
  QPushButton* btnUp_ = nullptr;
  QPushButton* btnDown_ = nullptr;
  bool filling_ = false;
};

}  // namespace trelvar::ui
