#include "Csv.h"

namespace orvane::site::cli::batch {

bool CsvReader::next(std::vector<std::string>& fields) {
  fields.clear();
  terminated_ = false;
  openQuote_ = false;
  using Traits = std::streambuf::traits_type;
  if (Traits::eq_int_type(in_.sgetc(), Traits::eof())) return false;
  std::string field;
  bool inQuotes = false;
  bool wasQuoted = false;
  for (;;) {
    const auto c = in_.sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) {
      openQuote_ = inQuotes;
      fields.push_back(std::move(field));
      return true;
    }
    ++offset_;
    const char ch = Traits::to_char_type(c);
    if (inQuotes) {
      if (ch != '"') {
        field += ch;
      } else if (Traits::eq_int_type(in_.sgetc(), Traits::to_int_type('"'))) {
        in_.sbumpc();
        ++offset_;
        field += '"';
      } else {
        inQuotes = false;
      }
      continue;
    }
    // A byte-order mark at the very start of the input stands before the first field, so a
    // quote right after it opens that field.
    const bool afterByteOrderMark = offset_ == 4 && fields.empty() && field == "\xEF\xBB\xBF";
    if (ch == '"' && (field.empty() || afterByteOrderMark) && !wasQuoted) {
      field.clear();
      inQuotes = true;
      wasQuoted = true;
    } else if (ch == ',') {
      fields.push_back(std::move(field));
      field.clear();
      wasQuoted = false;
    } else if (ch == '\n') {
      break;
    } else if (ch == '\r' && Traits::eq_int_type(in_.sgetc(), Traits::to_int_type('\n'))) {
      in_.sbumpc();
      ++offset_;
      break;
    } else {
      field += ch;
    }
  }
  terminated_ = true;
  fields.push_back(std::move(field));
  return true;
}

void appendCsvField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += field;
    return;
  }
  out += '"';
  for (const char ch : field) {
    if (ch == '"') out += '"';
    out += ch;
  }
  out += '"';
}

void appendCsvRecord(std::string& out, const std::vector<std::string>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    appendCsvField(out, fields[i]);
  }
  out += "\r\n";
}

}  // namespace orvane::site::cli::batch
