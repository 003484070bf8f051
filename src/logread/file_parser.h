// Line readers of log files: TFileParser for plain text, TZlibFileParser
// for gzip-compressed files.
//
// A reader hands out the lines of one file without their line breaks. A
// lone LF, a lone CR and a CR LF pair are each one break, also when a pair
// is split between two reads (no empty line appears there). At the end the
// last unterminated piece is returned (empty when the file ended with a
// break) and AtEnd() becomes true. A line of kMaxLineLength characters or
// more is dropped whole and the next one returned. Bytes are passed through
// unchanged, NUL bytes included.
//
// The readers differ only in how they fill their buffer; the split runs in
// the base class over the buffer directly (one call per line, none per
// byte), keeping an offset into the buffer instead of erasing its front.
//
// Failure: a file that cannot be opened raises EInOutError ("Cannot open
// file ..."), a read error EInOutError. A damaged or truncated gzip stream
// (or a read error in it) ends that file and marks it Damaged, so that its
// owner can say so and how much of it was read; the reader itself writes
// nothing. Not thread-safe.
//
// The gzip reader inflates on a thread of its own, a few blocks ahead of
// the lines handed out, so that inflating and analysing share two cores;
// the thread lives from Open to Close.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/files.h"

struct z_stream_s;

namespace trelvar {

class TFileParser {
 public:
  // Lines this long or longer are dropped.
  static constexpr size_t kMaxLineLength = 10241;

  TFileParser();
  virtual ~TFileParser();
  TFileParser(const TFileParser&) = delete;
  TFileParser& operator=(const TFileParser&) = delete;

  virtual void SetAtEnd(bool at_end) { at_end_ = at_end; }
  virtual void Open(const std::string& path);
  virtual void Close();
  // Size of the file, and the bytes of it handed out as lines so far (a
  // compressed file: the compressed bytes taken in so far).
  virtual int64_t Size() const;
  virtual int64_t Position() const;

  // The next line into `line`, reusing its capacity (the fast form).
  void ReadLine(std::string& line);
  std::string ReadLine();
  // The next line as a view, valid until the next read: into the buffer
  // where the line lies wholly in it (no copy), else into `spare`.
  std::string_view ReadLineView(std::string& spare);

  bool AtEnd() const { return at_end_; }
  bool Opened() const { return opened_; }
  // The file ended early because its data is damaged.
  bool Damaged() const { return damaged_; }
  // Lines (not empty ones) handed out since Open, and lines dropped for
  // being too long.
  int64_t LinesRead() const { return lines_read_; }
  int64_t LongLinesDropped() const { return long_lines_; }
  const std::string& Path() const { return path_; }

 protected:
  explicit TFileParser(size_t buffer_size);

  // Refills the buffer, which is empty when this is called: puts the bytes
  // at Buffer() and reports their count with Filled(). True when nothing
  // was read (end of file, or an error that ended it).
  virtual bool FillBuffer();

  char* Buffer() { return buffer_.data(); }
  size_t BufferCapacity() const { return buffer_.size(); }
  void Filled(size_t count);
  // Takes `bytes` (count of them filled) as the buffer, handing back the
  // buffer before in its place.
  void TakeBuffer(std::vector<char>& bytes, size_t count);
  // Starts a new file: empties the buffer, forgets a CR waiting for its LF
  // and the counts and damage of the file before.
  void ResetBuffer();
  void SetOpened(bool opened) { opened_ = opened; }
  void SetDamaged() { damaged_ = true; }
  void SetPath(const std::string& path) { path_ = path; }
  platform::TReadOnlyFile& File() { return file_; }
  const platform::TReadOnlyFile& File() const { return file_; }

 private:
  size_t FindBreak();
  // Moves past the break at `brk`: a CR LF pair is one break, also when
  // split between two reads.
  void PassBreak(size_t brk);

  platform::TReadOnlyFile file_;
  size_t buffer_size_;
  std::vector<char> buffer_;  // made at the first Open
  size_t begin_ = 0;  // first byte not handed out yet
  size_t end_ = 0;    // end of the bytes in the buffer
  // Where SSE2 is missing, two memchr searches find the break: these cache
  // the offsets of the next CR and LF at or after begin_ (end_ when there
  // is none; -1 when unknown), so each byte is searched once per kind.
  int64_t next_cr_ = -1;
  int64_t next_lf_ = -1;
  bool pending_lf_ = false;  // the last break was a CR at the buffer's end
  bool opened_ = false;
  bool damaged_ = false;
  int64_t lines_read_ = 0;
  int64_t long_lines_ = 0;
  bool at_end_ = true;
  std::string path_;
};

class TZlibFileParser : public TFileParser {
 public:
  TZlibFileParser();
  ~TZlibFileParser() override;

  void Open(const std::string& path) override;
  void Close() override;
  // Of the compressed file.
  int64_t Size() const override;
  int64_t Position() const override;

 protected:
  bool FillBuffer() override;

 private:
  // How the stream goes on after the bytes of one Inflate call.
  enum class TEnd { kMore, kClean, kDamaged };
  // One inflated block, and the compressed bytes taken in when it was done.
  struct TBlock {
    std::vector<char> bytes;
    size_t count = 0;
    int64_t position = 0;
  };

  // The inflater thread: fills blocks until the stream ends or Close.
  void Run();
  // Inflates up to `capacity` bytes into `out`; only the inflater thread
  // calls it once Open has returned.
  TEnd Inflate(char* out, size_t capacity, size_t& produced);
  // Reads the next block of the compressed file when the last is used up;
  // false on a read error.
  bool NeedInput();
  int64_t InputPosition() const;
  // Ends the file as damaged (on the reading thread).
  bool StreamError();

  std::unique_ptr<z_stream_s> stream_;
  std::vector<char> input_;
  bool inflating_ = false;    // the stream is initialised
  bool transparent_ = false;  // no gzip header: the bytes are passed through
  bool input_done_ = false;   // the file has no more bytes
  bool member_done_ = false;  // the last gzip member ended cleanly
  bool finished_ = false;     // nothing more will come (known at Open)
  int64_t position_ = 0;      // compressed bytes behind the lines handed out

  // Shared by the reading thread and the inflater, under mutex_.
  std::mutex mutex_;
  std::condition_variable filled_;  // a block or the end is ready
  std::condition_variable taken_;   // a block was taken, or stop
  std::deque<TBlock> ready_;
  std::vector<TBlock> spare_;
  bool ended_ = false;  // the inflater is done: end_ and end_position_ hold
  TEnd end_ = TEnd::kMore;
  int64_t end_position_ = 0;
  bool stop_ = false;
  std::thread inflater_;
};

// True when the file is read with the gzip reader: its extension is ".gz"
// in any letter case.
bool IsGzipPath(const std::string& path);
// A reader for the file's kind, not opened.
std::unique_ptr<TFileParser> CreateFileParser(const std::string& path);

}  // namespace trelvar
