#include "logread/file_parser.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <system_error>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "config/folders.h"

namespace trelvar {

namespace {

// Large blocks keep system calls and inflate calls rare; the lines that
// come out do not depend on the block size.
constexpr size_t kPlainBufferSize = 256 * 1024;
constexpr size_t kGzipBufferSize = 256 * 1024;
constexpr size_t kGzipInputSize = 64 * 1024;
// Inflated blocks the inflater may hold ready ahead of the lines.
constexpr size_t kGzipBlocksAhead = 4;

}  // namespace

// ---------------------------------------------------------------------------
// TFileParser

TFileParser::TFileParser() : TFileParser(kPlainBufferSize) {}

TFileParser::TFileParser(size_t buffer_size) : buffer_size_(buffer_size) {}

TFileParser::~TFileParser() { TFileParser::Close(); }

void TFileParser::Open(const std::string& path) {
  Close();
  at_end_ = false;
  path_ = path;
  ResetBuffer();
  if (!file_.Open(path)) {
    at_end_ = true;
    throw EInOutError(CannotOpenFileMessage(path));
  }
  opened_ = true;
}

void TFileParser::Close() {
  file_.Close();
  begin_ = end_ = 0;
  pending_lf_ = false;
  opened_ = false;
  at_end_ = true;
}

int64_t TFileParser::Size() const { return file_.Size(); }

int64_t TFileParser::Position() const {
  // The bytes handed out, not those read ahead: progress and the share of
  // the log read so far follow the lines delivered.
  return file_.Position() - static_cast<int64_t>(end_ - begin_);
}

void TFileParser::ResetBuffer() {
  if (buffer_.empty()) buffer_.resize(buffer_size_);
  begin_ = end_ = 0;
  next_cr_ = next_lf_ = -1;
  pending_lf_ = false;
  damaged_ = false;
  lines_read_ = long_lines_ = 0;
}

void TFileParser::Filled(size_t count) {
  begin_ = 0;
  end_ = std::min(count, buffer_.size());
  next_cr_ = next_lf_ = -1;
}

void TFileParser::TakeBuffer(std::vector<char>& bytes, size_t count) {
  buffer_.swap(bytes);
  Filled(count);
}

bool TFileParser::FillBuffer() {
  if (!opened_) return true;
  const int64_t n = file_.Read(buffer_.data(), buffer_.size());
  if (n < 0) {
    throw EInOutError("Cannot read file \"" + path_ + "\": " +
                      platform::SystemErrorText(file_.Error()));
  }
  Filled(static_cast<size_t>(n));
  return n == 0;
}

#if defined(__SSE2__)
namespace {

// Offset of the first CR or LF in [p, p + n), or n: one pass for both
// characters, 64 bytes a step.
size_t FindCrOrLf(const char* p, size_t n) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  auto hits = [&](size_t at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    return _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf));
  };
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m128i a = hits(i), b = hits(i + 16), c = hits(i + 32), d = hits(i + 48);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) continue;
    const uint64_t mask = static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(a))) |
                          static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(b))) << 16 |
                          static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(c))) << 32 |
                          static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(d))) << 48;
    return i + static_cast<size_t>(__builtin_ctzll(mask));
  }
  for (; i + 16 <= n; i += 16) {
    const int mask = _mm_movemask_epi8(hits(i));
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
  for (; i < n; ++i)
    if (p[i] == '\r' || p[i] == '\n') return i;
  return n;
}

}  // namespace
#endif

size_t TFileParser::FindBreak() {
  const char* data = buffer_.data();
#if defined(__SSE2__)
  return begin_ + FindCrOrLf(data + begin_, end_ - begin_);
#else
  const auto b = static_cast<int64_t>(begin_);
  if (next_cr_ < b) {
    const void* p = std::memchr(data + begin_, '\r', end_ - begin_);
    next_cr_ = p != nullptr ? static_cast<const char*>(p) - data : static_cast<int64_t>(end_);
  }
  if (next_lf_ < b) {
    const void* p = std::memchr(data + begin_, '\n', end_ - begin_);
    next_lf_ = p != nullptr ? static_cast<const char*>(p) - data : static_cast<int64_t>(end_);
  }
  return static_cast<size_t>(std::min(next_cr_, next_lf_));
#endif
}

void TFileParser::PassBreak(size_t brk) {
  begin_ = brk + 1;
  if (buffer_[brk] != '\r') return;
  if (begin_ < end_) {
    if (buffer_[begin_] == '\n') ++begin_;
  } else {
    pending_lf_ = true;  // its LF may begin the next read
  }
}

std::string_view TFileParser::ReadLineView(std::string& spare) {
  // The usual case: the line and its break are in the buffer.
  if (begin_ < end_ && !pending_lf_) {
    const size_t brk = FindBreak();
    const size_t count = brk - begin_;
    if (brk < end_ && count < kMaxLineLength) {
      const char* const line = buffer_.data() + begin_;
      PassBreak(brk);
      if (count > 0) ++lines_read_;
      return std::string_view(line, count);
    }
  }
  ReadLine(spare);
  return spare;
}

void TFileParser::ReadLine(std::string& line) {
  line.clear();
  bool skipping = false;  // inside a line that is too long
  for (;;) {
    if (begin_ == end_) {
      if (FillBuffer()) {
        at_end_ = true;
        if (skipping) {
          line.clear();
          ++long_lines_;
        } else if (!line.empty()) {
          ++lines_read_;
        }
        return;
      }
      continue;
    }
    if (pending_lf_) {
      // The CR that ended the last line was the last byte of a buffer.
      pending_lf_ = false;
      if (buffer_[begin_] == '\n') {
        ++begin_;
        continue;
      }
    }
    const size_t brk = FindBreak();
    const size_t count = brk - begin_;
    const bool too_long = skipping || line.size() + count >= kMaxLineLength;
    if (brk == end_) {
      if (!too_long) {
        line.append(buffer_.data() + begin_, count);
      } else {
        skipping = true;
        line.clear();
      }
      begin_ = end_;
      continue;
    }
    if (!too_long) line.append(buffer_.data() + begin_, count);
    PassBreak(brk);
    if (!too_long) {
      if (!line.empty()) ++lines_read_;
      return;
    }
    ++long_lines_;
    skipping = false;
    line.clear();
  }
}

std::string TFileParser::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

// ---------------------------------------------------------------------------
// TZlibFileParser

TZlibFileParser::TZlibFileParser()
    : TFileParser(kGzipBufferSize), stream_(std::make_unique<z_stream>()),
      input_(kGzipInputSize) {}

TZlibFileParser::~TZlibFileParser() { TZlibFileParser::Close(); }

void TZlibFileParser::Open(const std::string& path) {
  Close();
  SetPath(path);
  ResetBuffer();
  SetAtEnd(false);
  transparent_ = input_done_ = member_done_ = finished_ = false;
  position_ = 0;
  if (!File().Open(path)) {
    SetAtEnd(true);
    throw EInOutError(CannotOpenFileMessage(path));
  }
  *stream_ = z_stream{};
  // 16 + window bits: a gzip header and trailer are expected.
  if (inflateInit2(stream_.get(), 16 + MAX_WBITS) != Z_OK) {
    File().Close();
    SetAtEnd(true);
    SetDamaged();
    return;
  }
  inflating_ = true;
  SetOpened(true);

  // A file without the gzip magic is plain text under a ".gz" name and is
  // passed through, as zlib's own gzip reader does.
  if (!NeedInput()) {
    StreamError();
    return;
  }
  z_stream& zs = *stream_;
  if (zs.avail_in == 0) {
    finished_ = true;
    return;
  }
  if (zs.avail_in < 2 || zs.next_in[0] != 0x1f || zs.next_in[1] != 0x8b) transparent_ = true;
  ended_ = stop_ = false;
  end_ = TEnd::kMore;
  try {
    inflater_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: FillBuffer inflates in place.
  }
}

void TZlibFileParser::Close() {
  if (inflater_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    taken_.notify_all();
    inflater_.join();
  }
  for (TBlock& block : ready_) spare_.push_back(std::move(block));
  ready_.clear();
  if (inflating_) inflateEnd(stream_.get());
  inflating_ = false;
  TFileParser::Close();
}

int64_t TZlibFileParser::Size() const { return File().Size(); }

int64_t TZlibFileParser::Position() const { return position_; }

int64_t TZlibFileParser::InputPosition() const {
  return File().Position() - static_cast<int64_t>(stream_->avail_in);
}

bool TZlibFileParser::StreamError() {
  finished_ = true;
  SetDamaged();
  SetAtEnd(true);
  return true;
}

bool TZlibFileParser::NeedInput() {
  z_stream& zs = *stream_;
  if (zs.avail_in > 0 || input_done_) return true;
  const int64_t n = File().Read(input_.data(), input_.size());
  if (n < 0) return false;
  if (n == 0) input_done_ = true;
  zs.next_in = reinterpret_cast<Bytef*>(input_.data());
  zs.avail_in = static_cast<uInt>(n);
  return true;
}

void TZlibFileParser::Run() {
  for (;;) {
    TBlock block;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      taken_.wait(lock, [&] { return stop_ || ready_.size() < kGzipBlocksAhead; });
      if (stop_) return;
      if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    TEnd end = TEnd::kDamaged;
    block.count = 0;
    try {
      block.bytes.resize(kGzipBufferSize);
      end = Inflate(block.bytes.data(), block.bytes.size(), block.count);
    } catch (const std::exception&) {
      // No memory for the block: the file ends there, as damaged.
    }
    block.position = InputPosition();
    std::lock_guard<std::mutex> lock(mutex_);
    if (block.count > 0) ready_.push_back(std::move(block));
    if (end != TEnd::kMore) {
      ended_ = true;
      end_ = end;
      end_position_ = InputPosition();
    }
    filled_.notify_one();
    if (ended_) return;
  }
}

TZlibFileParser::TEnd TZlibFileParser::Inflate(char* out, size_t capacity, size_t& produced) {
  produced = 0;
  z_stream& zs = *stream_;
  if (transparent_) {
    if (!NeedInput()) return TEnd::kDamaged;
    if (zs.avail_in == 0) return TEnd::kClean;
    const size_t n = std::min<size_t>(zs.avail_in, capacity);
    std::memcpy(out, zs.next_in, n);
    zs.next_in += n;
    zs.avail_in -= static_cast<uInt>(n);
    produced = n;
    return TEnd::kMore;
  }

  zs.next_out = reinterpret_cast<Bytef*>(out);
  zs.avail_out = static_cast<uInt>(capacity);
  TEnd end = TEnd::kMore;
  for (;;) {
    if (!NeedInput()) {
      end = TEnd::kDamaged;
      break;
    }
    if (member_done_) {
      // After a complete member: another member, or the end. Bytes that
      // are not a gzip header (padding, garbage) are ignored.
      if (zs.avail_in == 0 || zs.next_in[0] != 0x1f ||
          (zs.avail_in >= 2 && zs.next_in[1] != 0x8b)) {
        end = TEnd::kClean;
        break;
      }
      inflateReset(&zs);
      member_done_ = false;
    }
    const int ret = inflate(&zs, Z_NO_FLUSH);
    if (ret == Z_STREAM_END) {
      member_done_ = true;
    } else if (ret == Z_BUF_ERROR || ret == Z_OK) {
      // No room or no input. Without input at the end of the file the
      // stream is cut short.
      if (zs.avail_out != 0 && zs.avail_in == 0 && input_done_) {
        end = TEnd::kDamaged;
        break;
      }
    } else {
      end = TEnd::kDamaged;
      break;
    }
    if (zs.avail_out == 0) break;
  }
  produced = capacity - zs.avail_out;
  return end;
}

bool TZlibFileParser::FillBuffer() {
  if (!Opened() || finished_) return true;
  if (!inflater_.joinable()) {
    // Inflating on this thread: the bytes before an end first, the end at
    // the next call.
    size_t produced = 0;
    const TEnd end = ended_ ? end_ : Inflate(Buffer(), BufferCapacity(), produced);
    position_ = InputPosition();
    if (produced > 0) {
      ended_ = end != TEnd::kMore;
      end_ = end;
      Filled(produced);
      return false;
    }
    finished_ = true;
    return end == TEnd::kDamaged ? StreamError() : true;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  filled_.wait(lock, [&] { return !ready_.empty() || ended_; });
  if (ready_.empty()) {
    // The bytes before the end are all out: the stream's end, or its error.
    finished_ = true;
    position_ = end_position_;
    if (end_ == TEnd::kDamaged) return StreamError();
    return true;
  }
  TBlock block = std::move(ready_.front());
  ready_.pop_front();
  TakeBuffer(block.bytes, block.count);
  position_ = block.position;
  spare_.push_back(std::move(block));
  lock.unlock();
  taken_.notify_one();
  return false;
}

// ---------------------------------------------------------------------------

bool IsGzipPath(const std::string& path) {
  const std::string name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && UpperCase(name.substr(dot)) == ".GZ";
}

std::unique_ptr<TFileParser> CreateFileParser(const std::string& path) {
  if (IsGzipPath(path)) return std::make_unique<TZlibFileParser>();
  return std::make_unique<TFileParser>();
}

}  // namespace trelvar
