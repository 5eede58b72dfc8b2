// Our engine on the benchmark's workloads: the table's expressions, compile times and a show
// of many formulas.
#pragma once

#include <cstddef>
#include <string>

#include "OurEngines.h"

namespace bench {

// Median nanoseconds of one compilation of `text` in `parser`, over many compilations.
double medianCompileNs(ZrParser& parser, const std::wstring& text);

// Median nanoseconds of compiling `text` (our syntax) in a parser that defines x, y, z and the
// radian sin and cos, as the table's expressions are compiled.
double tableCompileNs(const OurEngine& engine, const std::string& text);

struct ShowResult {
    double nsPerFormula;    // median frame time / formulas
    double frameMedianNs;
    double frameP99Ns;
    double bytesPerFormula; // heap growth from building the formulas' parsers / formulas
    double compileNs;       // median over the formulas
    double childParserNs;   // median of making a formula's child parser
};

// `formulas` formulas of the show mix, each in its own child parser linked to one host parser
// with the signal plug-in, or (asInstances) as instances of one formula per text of the mix,
// evaluated once per frame.
ShowResult runShow(const OurEngine& engine, std::size_t formulas, bool asInstances);

// Median nanoseconds of compiling `text` in a show's host parser.
double showCompileNs(const OurEngine& engine, const std::wstring& text);

} // namespace bench
