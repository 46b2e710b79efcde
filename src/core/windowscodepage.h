// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

class QTextCodec;

namespace TextJoin {

// Windows' own converter of a code page (949 for Korean), as a codec: the
// conversions Windows programs make, which Qt's own tables do not always match
// (Qt's CP949 lacks the euro sign and the user-defined rows). Made once per code
// page and kept, as Qt keeps its codecs.
QTextCodec *windowsCodePage(unsigned int number);

} // namespace TextJoin
