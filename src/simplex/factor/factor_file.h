// Factor file: the one store that holds the whole basis factorisation, filled
// from both ends.
//
// The file has a logical capacity of L entries, fixed at each INVERT from the
// free workspace budget (entries_for_budget). Each entry is an (index, value)
// pair. The two parts never overlap:
//
//   front [0, front_end)           lines: contiguous, individually growable
//                                  segments (rows of the active submatrix and
//                                  of U, columns of U, row etas). A line owns
//                                  [start, start + cap) and uses the first len
//                                  slots. Lines are kept in a doubly linked
//                                  list in storage order so that compact() can
//                                  close them up; a line that must grow past
//                                  its neighbour moves to the end of the front.
//   back  [L - back_used, L)       records appended one after another and
//                                  never moved until the next reset: column
//                                  etas of L and product-form update etas.
//
//   front_end + back_used <= L at all times.
//
// Physically the two parts are separate arrays grown on demand (doubling,
// capped at L), so a large budget is only touched as far as it is used. Back
// entry b (0-based, in order of appending) is file entry L - 1 - b.
#pragma once

#include <cstdint>
#include <vector>

namespace kqopt {

using FilePos = std::int64_t;

class FactorFile {
 public:
  // L = 20 * floor((F - 48) / 400) entries for F free bytes (0 when F < 448).
  static FilePos entries_for_budget(std::int64_t free_bytes);

  // Empties both parts, sets the capacity to L entries and creates line_count
  // empty lines. Keeps the physical storage already obtained.
  void reset(FilePos capacity, std::int32_t line_count);

  FilePos capacity() const { return capacity_; }
  FilePos front_end() const { return front_end_; }
  FilePos back_used() const { return back_used_; }
  FilePos free_entries() const { return capacity_ - front_end_ - back_used_; }
  // Number of compactions since the last reset.
  std::int32_t compactions() const { return compactions_; }
  // Bytes obtained so far for entries (grown on demand).
  std::int64_t bytes_committed() const;

  // --- lines --------------------------------------------------------------
  std::int32_t line_count() const { return static_cast<std::int32_t>(len_.size()); }
  std::int32_t add_line();  // a new empty line; returns its id
  std::int32_t len(std::int32_t id) const { return len_[static_cast<std::size_t>(id)]; }
  std::int32_t* idx(std::int32_t id) { return front_idx_.data() + start_[static_cast<std::size_t>(id)]; }
  double* val(std::int32_t id) { return front_val_.data() + start_[static_cast<std::size_t>(id)]; }
  const std::int32_t* idx(std::int32_t id) const { return front_idx_.data() + start_[static_cast<std::size_t>(id)]; }
  const double* val(std::int32_t id) const { return front_val_.data() + start_[static_cast<std::size_t>(id)]; }

  // Makes room for extra more entries in the line; may move the line to the
  // end of the front or compact the front (all line pointers are then stale).
  // Returns false when the file cannot hold them even after compaction.
  // With elbow set, a moved line gets some spare room to grow in place later.
  [[nodiscard]] bool reserve_line(std::int32_t id, std::int32_t extra, bool elbow = true);
  // Upper bound on the entries reserve_line(id, extra) takes from the gap.
  FilePos gap_needed(std::int32_t id, std::int32_t extra) const;
  // Appends after reserve_line.
  void push(std::int32_t id, std::int32_t index, double value) {
    const FilePos at = start_[static_cast<std::size_t>(id)] + len_[static_cast<std::size_t>(id)]++;
    front_idx_[static_cast<std::size_t>(at)] = index;
    front_val_[static_cast<std::size_t>(at)] = value;
  }
  // Removes entry k of the line by moving the last entry into its place.
  void remove_at(std::int32_t id, std::int32_t k) {
    const FilePos s = start_[static_cast<std::size_t>(id)];
    const FilePos last = s + --len_[static_cast<std::size_t>(id)];
    front_idx_[static_cast<std::size_t>(s + k)] = front_idx_[static_cast<std::size_t>(last)];
    front_val_[static_cast<std::size_t>(s + k)] = front_val_[static_cast<std::size_t>(last)];
  }
  void set_len(std::int32_t id, std::int32_t n) { len_[static_cast<std::size_t>(id)] = n; }
  // Gives the line's space back (len and capacity 0).
  void release_line(std::int32_t id);

  // Closes the lines up at the start of the front; adds 1 to compactions().
  void compact();

  // --- back records -------------------------------------------------------
  // Makes room for n more back entries, compacting the front if needed.
  [[nodiscard]] bool reserve_back(FilePos n);
  // Appends one back entry (after reserve_back) and returns its back index.
  FilePos push_back_entry(std::int32_t index, double value) {
    const FilePos at = back_used_++;
    back_idx_[static_cast<std::size_t>(at)] = index;
    back_val_[static_cast<std::size_t>(at)] = value;
    return at;
  }
  // Appends n back entries to be written in place; returns the first index.
  FilePos append_back_block(FilePos n) {
    const FilePos at = back_used_;
    back_used_ += n;
    return at;
  }
  std::int32_t* back_idx_data() { return back_idx_.data(); }
  double* back_val_data() { return back_val_.data(); }
  const std::int32_t* back_idx() const { return back_idx_.data(); }
  const double* back_val() const { return back_val_.data(); }

 private:
  void unlink(std::int32_t id);
  void rotate_to_tail(std::int32_t id);
  void link_at_tail(std::int32_t id);
  void ensure_front_physical(FilePos size);
  FilePos front_limit() const { return capacity_ - back_used_; }

  FilePos capacity_ = 0;   // L
  FilePos front_end_ = 0;  // first free front entry
  FilePos back_used_ = 0;  // entries used at the back
  std::int32_t compactions_ = 0;

  std::vector<std::int32_t> front_idx_;  // physical front, size >= front_end_
  std::vector<double> front_val_;
  std::vector<std::int32_t> back_idx_;  // physical back, size >= back_used_
  std::vector<double> back_val_;

  std::vector<FilePos> start_;      // per line: first entry
  std::vector<std::int32_t> len_;   // per line: entries in use
  std::vector<std::int32_t> cap_;   // per line: entries owned (0: unlinked)
  std::vector<std::int32_t> prev_;  // per line: storage-order links
  std::vector<std::int32_t> next_;
  std::int32_t head_ = -1;
  std::int32_t tail_ = -1;
};

}  // namespace kqopt
