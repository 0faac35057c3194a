// The string table, by the ids the dialogs and messages cite. UTF-8.
#pragma once

namespace res {

// The text of string id, or an empty string for an id the table lacks.
const char* String(int id);

} // namespace res
