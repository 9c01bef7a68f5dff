#include "app/create_message.h"

#include "common/numbers.h"
#include "gallery/page_writer.h"
#include "run/problem_text.h"

namespace vistrel::app {
using common::decimalText;
using gallery::pageName;
using run::CreateReport;
using run::locationText;
using run::problemReason;
using run::refusalReason;
using thumbs::ProblemKind;
using thumbs::RunProblem;

namespace {

// A name of thousands of characters would widen the box past the screen; the details keep it.
constexpr size_t kLongestLine = 200;

std::string shortened(const std::string& line) {
  if (line.size() <= kLongestLine) {
    return line;
  }
  size_t keep = kLongestLine / 2;
  // Cut between characters, not inside one.
  while (keep > 0 && (static_cast<unsigned char>(line[keep]) & 0xC0) == 0x80) {
    --keep;
  }
  size_t tail = line.size() - kLongestLine / 2;
  while (tail < line.size() && (static_cast<unsigned char>(line[tail]) & 0xC0) == 0x80) {
    ++tail;
  }
  return line.substr(0, keep) + "\u2026" + line.substr(tail);
}

std::string problemLine(const RunProblem& problem) {
  return problem.file + ": " + problemReason(problem);
}

// "3 files of an earlier gallery ... were removed." ("" when none were), then the temporaries
// removed, by name.
std::string removedText(const CreateReport& report) {
  std::string text;
  const size_t count = report.filesRemoved.size();
  if (count != 0) {
    text = (count == 1 ? std::string("1 file") : std::to_string(count) + " files") +
           " of an earlier gallery (thumbnails of pictures no longer in the folder, or pages "
           "past the last) " +
           (count == 1 ? "was" : "were") + " removed.";
  }
  if (!report.temporariesRemoved.empty()) {
    text += std::string(text.empty() ? "" : "\n") +
            "Temporary files of an interrupted run were removed:";
    for (const auto& name : report.temporariesRemoved) {
      text += " " + name;
    }
  }
  return text;
}

}  // namespace

CreateMessage createMessage(const CreateReport& report, const std::filesystem::path& folder) {
  CreateMessage message;
  if (report.refused) {
    message.text = "Nothing was created:\n\n" + refusalReason(*report.refused);
    return message;
  }
  bool pageNotOpened = false;
  bool onlyWarnings = true;
  std::vector<std::string> lines;
  for (const auto& problem : report.problems) {
    if (problem.kind == ProblemKind::PageNotOpened) {
      pageNotOpened = true;
    } else {
      onlyWarnings = onlyWarnings && problem.isWarning();
      lines.push_back(problemLine(problem));
    }
  }
  if (!lines.empty()) {
    message.text = onlyWarnings ? "The gallery was created, with warnings:\n\n"
                                : "Not everything could be created:\n\n";
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i < static_cast<size_t>(kListedProblems)) {
        message.text += shortened(lines[i]) + "\n";
      }
      message.details += lines[i] + "\n";
    }
    if (lines.size() > static_cast<size_t>(kListedProblems)) {
      message.text +=
          "and " + decimalText(static_cast<long long>(lines.size()) - kListedProblems) + " more\n";
    } else {
      message.details.clear();
    }
  }
  if (pageNotOpened) {
    if (!message.text.empty()) {
      message.text += "\n";
    }
    message.text += "The gallery was created, but no program opened " + pageName(1) + "\n\n" +
                    shortened((folder / pageName(1)).string()) + "\n";
  }
  if (const std::string located = locationText(report.linkedWithLocation); !located.empty()) {
    message.text += (message.text.empty() ? "" : "\n") + located +
                    "\nTo publish only the copies, set Originals to Not linked under Modern "
                    "options.\n";
  }
  if (const std::string removed = removedText(report); !removed.empty()) {
    message.text += (message.text.empty() ? "" : "\n") + removed;
    // Named one by one in the details: a removed file must never pass unseen.
    message.details += (message.details.empty() ? "" : "\n") + std::string("Removed:\n");
    for (const auto& file : report.filesRemoved) {
      message.details += file + "\n";
    }
  }
  while (!message.text.empty() && message.text.back() == '\n') {
    message.text.pop_back();
  }
  while (!message.details.empty() && message.details.back() == '\n') {
    message.details.pop_back();
  }
  return message;
}

}  // namespace vistrel::app
