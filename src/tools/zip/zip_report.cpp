#include "tools/zip/zip_report.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zip {

void Reporter::NewFile(const std::string& name, uint64_t size) { Send(ZipActionNewFile, 0, size, name); }

void Reporter::Step() { Send(ZipActionProgress, 0, 0, ""); }

void Reporter::EndBatch() { Send(ZipActionEndBatch, 0, 0, ""); }

void Reporter::Message(int32_t code, const std::string& text) { Send(ZipActionMessage, code, 0, text); }

void Reporter::Detail(const std::string& text) {
  if (verbose_) Message(0, text);
}

void Reporter::Send(int32_t action, int32_t code, uint64_t size, const std::string& text) {
  if (!callback_ || stopped_) return;
  ZipCallbackRecord record{};
  record.Owner = owner_;
  record.Component = component_;
  record.Action = action;
  record.ErrorCode = code;
  record.FileSize = static_cast<int32_t>(std::min<uint64_t>(size, std::numeric_limits<int32_t>::max()));
  const size_t n = std::min(text.size(), sizeof record.Text - 1);
  std::memcpy(record.Text, text.data(), n);
  if (callback_(&record) == 1) {
    stopped_ = true;
    throw Stopped{};
  }
}

std::string TextOfBuffer(const char* buffer, size_t bufferSize) {
  return buffer ? std::string(buffer, strnlen(buffer, bufferSize - 1)) : std::string();
}

std::string RequestRefusal(const RequestFrame& frame) {
  const std::string refused = "Requête refusée : ";
  if (frame.version != ZipStructureVersion)
    return refused + "version de structure " + std::to_string(frame.version) + " au lieu de 100.";
  if (frame.check != ZipStructureCheck) return refused + "contrôle de structure " + std::to_string(frame.check) + " au lieu de 7.";
  if (frame.patternCount < 0 || frame.patternCount > ZipMaxPatterns)
    return refused + std::to_string(frame.patternCount) + " motifs de fichiers (de 0 à 4097).";
  if (TextOfBuffer(frame.archiveName, ZipTextBufferSize).empty()) return refused + "aucune archive indiquée.";
  for (int i = 0; i < frame.patternCount; ++i)
    if (!frame.patterns[i]) return refused + "motif de fichiers " + std::to_string(i + 1) + " absent.";
  return "";
}

std::vector<std::string> PatternsOf(const RequestFrame& frame) {
  std::vector<std::string> patterns;
  for (int i = 0; i < frame.patternCount; ++i) {
    std::string pattern = TextOfBuffer(frame.patterns[i], ZipTextBufferSize);
    if (!pattern.empty()) patterns.push_back(pattern);
  }
  return patterns;
}

namespace {

void Refuse(Reporter& report, int32_t code, const std::string& text) {
  report.Message(code, text);
  report.EndBatch();
}

}  // namespace

int32_t RunRequest(Reporter& report, const RequestFrame& frame, const char* library,
                   const std::function<void(int32_t& done)>& work) {
  int32_t done = 0;
  try {
    const std::string refusal = RequestRefusal(frame);
    if (!refusal.empty()) {
      Refuse(report, ZipErrorRequest, refusal);
      return 0;
    }
    work(done);
    report.EndBatch();
  } catch (const Stopped&) {
  } catch (const Failure& f) {
    try {
      Refuse(report, f.code, f.text);
    } catch (const Stopped&) {
    }
  } catch (...) {
    try {
      Refuse(report, ZipErrorInternal, std::string("Erreur interne de ") + library + " : opération abandonnée.");
    } catch (...) {
    }
  }
  return done;
}

}  // namespace zip
