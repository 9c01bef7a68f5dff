#include "run/problem_text.h"

#include "thumbs/prefix_check.h"

namespace vistrel::run {

std::string refusalReason(const Refusal& refusal) {
  switch (refusal.kind) {
    case RefusalKind::BadPrefix:
      // The prefix's own rule words it, as the prefix box's corrections and --prefix follow it.
      return thumbs::prefixProblem(refusal.detail).value_or("");
    case RefusalKind::FolderNotWritable:
      return "The folder " + refusal.file + " cannot be written: " + refusal.error.message();
    case RefusalKind::FolderNotReadable:
      return "the folder " + refusal.file + " cannot be read: " + refusal.error.message();
    case RefusalKind::FolderBusy:
      return "another Create is running in this folder";
  }
  return "";
}

}  // namespace vistrel::run
