// File tests, Windows-path handling and whole-file reading and writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace slabrip {

/// True for an existing regular file (after symlinks); false for "" and folders.
bool FileExists(const std::string& path);

/// True for an existing folder.
bool FolderExists(const std::string& path);

/// The name after the last `/` or `\`, so `C:\Jobs\logo.cmf` gives `logo.cmf`.
std::string FileNamePart(std::string_view path);

/// The folder part of a Linux path, without a trailing separator ("" for a bare name).
std::string FolderPart(std::string_view path);

/// The path with its extension (from the last dot of the file name) replaced;
/// `ext` includes its dot.
std::string ChangeFileExt(std::string_view path, std::string_view ext);

/// Finds a file named inside another file: an absolute path that exists is used
/// as it stands, a relative one is taken from `folder`; failing both, the file
/// name alone is looked for in `folder`, as written and then in any case.
/// Empty when nothing is found.
std::string ResolveBeside(std::string_view reference, const std::string& folder);

/// The folder `name` inside `folder` ("" for the working folder), as written
/// and then in any case; empty when there is none.
std::string FolderBeside(const std::string& name, const std::string& folder);

/// Whole file as bytes; throws TError naming the file when it cannot be read
/// or is larger than maxBytes.
std::string ReadWholeFile(const std::string& path, std::size_t maxBytes);

/// Writes through a temporary file in the same folder and renames it over
/// `path`, keeping an existing file's permissions; a failure leaves the old
/// file untouched and throws TError naming the file.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

/// A file written piece by piece into a temporary file beside it and renamed
/// over it by Commit, so that a crash or a full disk never leaves a truncated
/// file; without Commit the temporary file is removed.
class TAtomicFileWriter {
 public:
  /// Throws TError naming the file when the temporary file cannot be made.
  explicit TAtomicFileWriter(std::string path);
  ~TAtomicFileWriter();
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

  /// Throws TError naming the file when the bytes cannot be written.
  void Write(std::string_view bytes);
  /// Flushes to disk and renames over the target; throws TError on failure.
  void Commit();
  const std::string& Path() const { return Path_; }
  std::int64_t BytesWritten() const { return Written_; }

 private:
  std::string Path_;
  std::string Temp_;
  int Fd_ = -1;
  std::int64_t Written_ = 0;
};

}  // namespace slabrip
