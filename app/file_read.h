// Whole-file reads by GBK path, without Qt, so the handlers and their tests share them.
#pragma once

#include <cstddef>
#include <string>

#include "http/text.h"

namespace quill {

// Far beyond any picture the service takes; keeps a stray choice (a disk image, say) from
// exhausting memory.
constexpr std::size_t kMaxWholeFileBytes = std::size_t{256} << 20;

// The file-system (UTF-8) form of a GBK path. False when the path is empty, holds a NUL, or
// does not convert exactly, so that a path is never turned into another file's name.
bool FileSystemPath(const std::string& gbkPath, std::string& utf8Path);

// The bytes of the regular file at `gbkPath`. No bytes when the path has no exact file-system
// form, names no regular file, cannot be read, is empty, or is larger than `maxBytes`.
Bytes ReadWholeFile(const std::string& gbkPath, std::size_t maxBytes = kMaxWholeFileBytes);

}  // namespace quill
