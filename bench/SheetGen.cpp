#include "SheetGen.h"

#include <QFile>
#include <array>

namespace sheetgen {
namespace {

// splitmix64: small, fast and the same on every machine.
class Rng {
 public:
  explicit Rng(quint64 seed) : m_state(seed) {}
  quint64 next() {
    quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<quint64>(n)); }
  bool chance(int percent) { return below(100) < percent; }

 private:
  quint64 m_state;
};

constexpr std::array kPrefixes = {"Hand",   "Battle", "War",     "Great",    "Giant",   "Bearded", "Double",
                                  "Crystal", "Broad", "Long",    "Short",    "Bastard", "Flamberge", "Colossus",
                                  "Ancient", "Hydra", "Dimensional", "Eldritch", "Grim", "Tyrant's"};
constexpr std::array kNouns = {"Axe",     "Sword",  "Mace",  "Club",   "Scepter", "Wand",    "Javelin",
                               "Spear",   "Pike",   "Bow",   "Crossbow", "Dagger", "Blade",  "Hammer",
                               "Maul",    "Halberd", "Scythe", "Claw",  "Orb",     "Flail"};
constexpr std::array kEpithets = {"Necromancer", "Sorceress", "Barbarian", "Paladin",   "Amazon",
                                  "Assassin",    "Druid",     "Leviathan", "Dragonscale", "Archangel",
                                  "Stormshield", "Nightwing", "Blackhorn", "Templar"};
constexpr std::array kTypes = {"axe", "swor", "mace", "club", "scep", "wand", "jave",
                               "spea", "pole", "bow", "xbow", "knif", "h2h", "orb"};

void appendNumber(QByteArray& out, int value) { out.append(QByteArray::number(value)); }

void appendCode(QByteArray& out, quint64 value) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  char code[3];
  for (char& c : code) {
    c = kDigits[value % 36];
    value /= 36;
  }
  out.append(code, 3);
}

}  // namespace

QByteArray WideItemSheet(int lines, quint64 seed) {
  Rng rng(seed);
  QByteArray out;
  out.reserve(static_cast<qsizetype>(lines) * 104);
  if (lines <= 0) return out;
  out.append(
      "name\ttype\tcode\tnamestr\tversion\trarity\tspawnable\tmindam\tmaxdam\tspeed\tStrBonus\tDexBonus\t"
      "reqstr\treqdex\tdurability\tlevel\tlevelreq\tcost\tinvfile\t*eol\r\n");
  for (int row = 1; row < lines; ++row) {
    const char* prefix = kPrefixes[static_cast<size_t>(rng.below(kPrefixes.size()))];
    const char* noun = kNouns[static_cast<size_t>(rng.below(kNouns.size()))];
    const char* epithet = kEpithets[static_cast<size_t>(rng.below(kEpithets.size()))];
    const char* type = kTypes[static_cast<size_t>(rng.below(kTypes.size()))];
    const quint64 code = static_cast<quint64>(row) * 7919u;
    const int level = 1 + rng.below(99);
    const int mindam = 1 + rng.below(60);
    out.append(prefix).append(' ').append(noun).append(" of the ").append(epithet).append('\t');  // name
    out.append(type).append('\t');
    appendCode(out, code);
    out.append('\t');
    appendCode(out, code);  // namestr
    out.append('\t');
    out.append(rng.chance(70) ? "100" : "0").append('\t');  // version
    appendNumber(out, 1 + rng.below(3));
    out.append('\t');
    out.append(rng.chance(90) ? "1" : "").append('\t');  // spawnable
    appendNumber(out, mindam);
    out.append('\t');
    appendNumber(out, mindam + rng.below(90));
    out.append('\t');
    appendNumber(out, rng.below(31) - 10);  // speed
    out.append('\t');
    out.append(rng.chance(50) ? "100" : "").append('\t');
    out.append(rng.chance(30) ? "75" : "").append('\t');
    appendNumber(out, rng.below(200));
    out.append('\t');
    appendNumber(out, rng.below(150));
    out.append('\t');
    appendNumber(out, 10 + rng.below(240));  // durability
    out.append('\t');
    appendNumber(out, level);
    out.append('\t');
    appendNumber(out, std::max(1, level - rng.below(10)));
    out.append('\t');
    appendNumber(out, 100 + rng.below(999900));  // cost
    out.append('\t');
    out.append("inv").append(type);
    appendCode(out, code);
    out.append('\t');
    out.append("0\r\n");
  }
  return out;
}

QByteArray MonsterStatsSheet(quint64 seed) {
  constexpr int kLines = 736;
  constexpr int kFields = 255;
  Rng rng(seed);
  QByteArray out;
  out.reserve(450 * 1024);
  for (int field = 0; field < kFields; ++field) {
    if (field > 0) out.append('\t');
    out.append(field == 0 ? QByteArray("Id") : "Field" + QByteArray::number(field));
  }
  out.append("\r\n");
  for (int row = 1; row < kLines; ++row) {
    out.append(kPrefixes[static_cast<size_t>(rng.below(kPrefixes.size()))]);
    out.append(kNouns[static_cast<size_t>(rng.below(kNouns.size()))]);
    out.append(QByteArray::number(row));
    for (int field = 1; field < kFields; ++field) {
      out.append('\t');
      const int kind = rng.below(100);
      if (kind < 43) continue;                                   // empty
      if (kind < 72) appendNumber(out, rng.below(10));           // flags and small counts
      else if (kind < 94) appendNumber(out, rng.below(2000));    // stats
      else out.append(kTypes[static_cast<size_t>(rng.below(kTypes.size()))]);
    }
    out.append("\r\n");
  }
  return out;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace sheetgen
