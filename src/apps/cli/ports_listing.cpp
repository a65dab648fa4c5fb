#include "apps/cli/ports_listing.h"

namespace qv::cli {
namespace {

std::string Field(const std::string& text) {
  if (text.empty())
    return "-";
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20)
      c = ' ';
  }
  return out;
}

std::string PortName(int n) {
  return "COM" + std::to_string(n);
}

}  // namespace

std::string FormatPortsListing(const std::vector<PortRow>& rows, const AutoPick& pick) {
  std::string out;
  for (const auto& row : rows) {
    out += PortName(row.number) + '\t' + Field(row.path) + '\t' + Field(row.friendly_name) + '\n';
  }
  out += "auto\t";
  switch (pick.kind) {
    case AutoPick::Kind::kPort:
      out += PortName(pick.number) + '\t' + Field(pick.path);
      break;
    case AutoPick::Kind::kNone:
      out += "none";
      break;
    case AutoPick::Kind::kUnavailable:
      out += "unavailable";
      break;
    case AutoPick::Kind::kError:
      out += "error\t" + Field(pick.reason);
      break;
  }
  return out + '\n';
}

}  // namespace qv::cli
