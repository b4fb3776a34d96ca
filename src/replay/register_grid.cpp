#include "replay/register_grid.h"

#include <algorithm>

namespace kev::replay {
namespace {

constexpr size_t kFirstCellColumn = 4;  // after "20: "
constexpr size_t kTextGap = 3;          // blanks between the cells and the text column
constexpr uint8_t kNul = 0x00;
constexpr uint8_t kAllOnes = 0xFF;
constexpr uint8_t kFirstPrintable = 0x20;
constexpr uint8_t kDelete = 0x7F;
constexpr int kHalfLastRow = 0x70;

struct Layout {
  GridShape shape;
  size_t digits() const { return shape.words ? 4 : 2; }
  int cells() const { return shape.words ? 8 : 16; }
  int lastRow() const { return kGridRegisters - cells(); }
  size_t column(int k) const { return kFirstCellColumn + static_cast<size_t>(k) * (digits() + 1); }
  size_t textColumn() const { return column(cells()) + kTextGap; }
};

// The character i2cdump shows for a cell in its text column.
char TextOf(const Cell& c) {
  if (c.state == Cell::State::NotDumped) return ' ';
  if (c.state == Cell::State::Failed) return 'X';
  const auto v = static_cast<uint8_t>(c.value);
  if (v == kNul || v == kAllOnes) return '.';
  if (v < kFirstPrintable || v >= kDelete) return '?';
  return static_cast<char>(v);
}

std::optional<Cell> ParseCell(std::string_view text) {
  if (text.find_first_not_of(' ') == std::string_view::npos) return Cell{};
  if (text.find_first_not_of('X') == std::string_view::npos) return Cell{Cell::State::Failed, 0};
  if (text.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
    return std::nullopt;
  return Cell{Cell::State::Read, static_cast<uint16_t>(std::stoul(std::string(text), nullptr, 16))};
}

// One grid in the making.
class GridReader {
 public:
  GridReader(GridShape shape, int headerLine) : layout_{shape} {
    grid_.words = shape.words;
    grid_.line = headerLine;
  }

  // A row; false with error set when it does not fit.
  bool row(std::string_view line, int n, DumpError& error) {
    error.line = n;
    const int offset = static_cast<int>(std::stoul(std::string(line.substr(0, 2)), nullptr, 16));
    if (goesOnAfterShortRow(n, error)) return false;
    const int expected = nextRow() >= 0 ? nextRow() : offset - offset % layout_.cells();
    if (line[2] != ':' || offset != expected) {
      error.expected = "row " + RowText(static_cast<unsigned>(expected)) + ", got row " +
                       std::string(line.substr(0, line.find(':')));
      return false;
    }
    std::array<Cell, 16> cells{};
    for (int k = 0; k < layout_.cells(); ++k) {
      const size_t col = layout_.column(k);
      std::string text = col < line.size() ? std::string(line.substr(col, layout_.digits())) : "";
      text.resize(layout_.digits(), ' ');
      const std::optional<Cell> cell = ParseCell(text);
      const bool separated =
          col + layout_.digits() >= line.size() || line[col + layout_.digits()] == ' ';
      if (!cell || !separated) {
        error.expected = std::to_string(layout_.digits()) + " hex digits or " +
                         std::string(layout_.digits(), 'X') + " for register " +
                         RowText(static_cast<unsigned>(offset + k)) + ", got '" + text + "'";
        return false;
      }
      cells[static_cast<size_t>(k)] = *cell;
    }
    if (!checkGaps(cells, offset, error) || !checkTail(line, cells, offset, error)) return false;
    for (int k = 0; k < layout_.cells(); ++k)
      grid_.cells[static_cast<size_t>(offset + k)] = cells[static_cast<size_t>(k)];
    lastOffset_ = offset;
    return true;
  }

  // A row that left registers out ends a range; true with error set when
  // the dump goes on at line n all the same.
  bool goesOnAfterShortRow(int n, DumpError& error) const {
    if (!short_) return false;
    error = {shortLine_, "row " + RowText(static_cast<unsigned>(lastOffset_)) + " to have " +
                             std::to_string(layout_.cells()) + " values, as the dump goes on " +
                             "at line " + std::to_string(n) + " (a row wrapped over two lines?)"};
    return true;
  }

  // The grid ends at line n (a blank line, another header, or the end).
  std::optional<RegisterGrid> finish(int n, DumpError& error) {
    if (lastOffset_ < 0) {
      error = {n, "the first row of the grid, as the column header at line " +
                      std::to_string(grid_.line) + " says"};
      return std::nullopt;
    }
    const bool half = layout_.shape.halfAllowed && lastOffset_ == kHalfLastRow;
    if (lastOffset_ != layout_.lastRow() && !short_ && !half) {
      error = {n, "row " + RowText(static_cast<unsigned>(nextRow())) +
                      " (the grid stops after row " + RowText(static_cast<unsigned>(lastOffset_)) +
                      ": a paste cut short?)"};
      return std::nullopt;
    }
    return grid_;
  }

 private:
  int nextRow() const {
    if (lastOffset_ >= 0) return lastOffset_ + layout_.cells();
    return layout_.shape.ranges ? -1 : 0;
  }

  // Only a range dump leaves registers out, and only before its first and
  // after its last register.
  bool checkGaps(const std::array<Cell, 16>& cells, int offset, DumpError& error) {
    const auto n = static_cast<size_t>(layout_.cells());
    const auto dumped = [](const Cell& c) { return c.state != Cell::State::NotDumped; };
    const auto first = std::find_if(cells.begin(), cells.begin() + n, dumped);
    const auto last = std::find_if(std::make_reverse_iterator(cells.begin() + n),
                                   std::make_reverse_iterator(cells.begin()), dumped);
    const bool leading = first != cells.begin();
    const bool trailing = last != std::make_reverse_iterator(cells.begin() + n);
    const auto lastIndex = static_cast<size_t>(last.base() - cells.begin());
    const bool hole = std::any_of(first, cells.begin() + static_cast<std::ptrdiff_t>(lastIndex),
                                  [&](const Cell& c) { return !dumped(c); });
    const bool allowedLead = layout_.shape.ranges && lastOffset_ < 0;
    if (first == cells.begin() + n || hole || (leading && !allowedLead) ||
        (trailing && !layout_.shape.ranges && !layout_.shape.textColumn)) {
      error.expected = std::to_string(layout_.cells()) + " values in row " +
                       RowText(static_cast<unsigned>(offset)) + " (a row cut short or wrapped?)";
      return false;
    }
    if (trailing) {
      short_ = true;
      shortLine_ = error.line;
    }
    return true;
  }

  // After the cells: nothing, or (i2cdump bytes) the text column.
  bool checkTail(std::string_view line, const std::array<Cell, 16>& cells, int offset,
                 DumpError& error) {
    const size_t end = layout_.column(layout_.cells());
    const std::string_view rest = end < line.size() ? line.substr(end) : std::string_view();
    bool fits = true;
    if (!layout_.shape.textColumn) {
      fits = rest.find_first_not_of(' ') == std::string_view::npos;
    } else {
      std::string expected(layout_.textColumn() - end, ' ');
      for (int k = 0; k < layout_.cells(); ++k) expected += TextOf(cells[static_cast<size_t>(k)]);
      fits = TrimRight(rest) == TrimRight(expected);
    }
    if (!fits) {
      error.expected = layout_.shape.textColumn
                           ? "row " + RowText(static_cast<unsigned>(offset)) +
                                 " to end in a text column that matches its values (a row "
                                 "cut short or wrapped?)"
                           : "nothing after the " + std::to_string(layout_.cells()) +
                                 " values of row " + RowText(static_cast<unsigned>(offset));
      return false;
    }
    return true;
  }

  Layout layout_;
  RegisterGrid grid_;
  int lastOffset_ = -1;
  bool short_ = false;  // the last row left registers out: the range ends there
  int shortLine_ = 0;
};

GridShape ShapeOf(LineKind header) {
  if (header == LineKind::I2cByteHeader) return {false, true, true};
  if (header == LineKind::I2cWordHeader) return {true, false, true};
  return {false, false, false, true};
}

bool Contains(const std::vector<LineKind>& kinds, LineKind k) {
  return std::find(kinds.begin(), kinds.end(), k) != kinds.end();
}

}  // namespace

std::optional<std::vector<RegisterGrid>> ParseGrids(const std::vector<std::string_view>& lines,
                                                    const ToolLines& tool, DumpError& error) {
  std::vector<RegisterGrid> grids;
  std::optional<GridReader> reader;
  const auto finish = [&](int n) {
    std::optional<RegisterGrid> g = reader->finish(n, error);
    reader.reset();
    if (g) grids.push_back(std::move(*g));
    return g.has_value();
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    const LineKind kind = ClassifyLine(lines[i]);
    if (reader && kind == LineKind::GridRow) {
      if (!reader->row(TrimRight(lines[i]), n, error)) return std::nullopt;
      continue;
    }
    const bool header = Contains(tool.headers, kind);
    if (reader && kind != LineKind::Blank && !header && reader->goesOnAfterShortRow(n, error))
      return std::nullopt;
    if (reader && !finish(n)) return std::nullopt;
    if (header) {
      reader.emplace(ShapeOf(kind), n);
    } else if (kind != LineKind::Blank && kind != LineKind::Other &&
               !Contains(tool.chatter, kind)) {
      error = {n, "an " + std::string(tool.name) + " column header, got " +
                      std::string(DescribeKind(kind)) + " (one kind of dump per file)"};
      return std::nullopt;
    }
  }
  if (reader && !finish(static_cast<int>(lines.size()) + 1)) return std::nullopt;
  if (grids.empty()) {
    error = {static_cast<int>(lines.size()) + 1, "an " + std::string(tool.name) + " grid"};
    return std::nullopt;
  }
  return grids;
}

}  // namespace kev::replay
