#include "sandbox/sample/sample_sources.h"

#include <cstdio>
#include <memory>
#include <string>

#include "sandbox/sample/date_text.h"
#include "sandbox/sample/fixed_rows.h"
#include "sandbox/sample/layouts.h"
#include "sandbox/sample/movement_row.h"
#include "sandbox/sample/random.h"
#include "sandbox/sample/sample_codes.h"

namespace sandbox::sample {
namespace {

// Distinct streams per table, so that one table's size never changes another's rows.
enum Salt : std::uint64_t {
  kDepotSalt = 1,
  kCardSalt,
  kItemTraitSalt,
  kMovementSalt,
  kAccountSalt,
  kLevelSalt,
};

std::uint64_t StreamSeed(std::uint64_t seed, std::uint64_t salt) {
  return Mix(seed ^ Mix(salt));
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[128];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// "12.3456" from ten-thousandths.
std::string MoneyText(std::int64_t ten_thousandths) {
  const char* sign = ten_thousandths < 0 ? "-" : "";
  const std::int64_t magnitude = ten_thousandths < 0 ? -ten_thousandths : ten_thousandths;
  return Format("%s%lld.%04lld", sign, static_cast<long long>(magnitude / 10000),
                static_cast<long long>(magnitude % 10000));
}

std::string DepotCode(std::size_t number) {
  return Format("%02zu", number);
}

// Generated depots are numbered on from the fixed ones, 01 to 07.
constexpr std::size_t kFirstGeneratedDepot = 8;

// What a generated item's card and its movements agree on, derived from its number alone.
struct ItemTraits {
  const char* unit;
  int vat;
  std::int64_t price_e4;  // purchase price in ten-thousandths
};

ItemTraits TraitsOf(std::size_t index, std::uint64_t seed) {
  static constexpr const char* kUnits[] = {"ADET", "ADET", "ADET",  "KG",  "LT",
                                           "MT",   "KOLİ", "PAKET", "ŞİŞE"};
  static constexpr int kVats[] = {18, 18, 8, 1};
  const std::uint64_t h = Mix(StreamSeed(seed, kItemTraitSalt) ^ index);
  return {kUnits[h % std::size(kUnits)], kVats[(h >> 8) % std::size(kVats)],
          static_cast<std::int64_t>(5'000 + (h >> 16) % 4'995'000)};
}

SampleRow GeneratedDepot(std::size_t index, std::mt19937_64& rng) {
  const std::string code = DepotCode(kFirstGeneratedDepot + index);
  return RowBuilder(DepoLayout())
      .Set("KODU", Unicode(code))
      .Set("ADI", Unicode("DEPO " + code))
      .Set("ADRES", Unicode("Organize Sanayi Bölgesi " + code + ". Cadde"))
      .Set("TELEFON",
           Chance(rng, 1, 3) ? Null() : Ansi(Format("0312 555 %s %s", code.c_str(), code.c_str())))
      .Set("AKTIF", Number(std::int64_t{Chance(rng, 9, 10) ? 1 : 0}))
      .Set("ACILIS", Ansi(DateText(static_cast<int>(UniformInt(rng, 2005, 2016)),
                                   static_cast<int>(UniformInt(rng, 0, 364)))))
      .Take();
}

SampleRow GeneratedCard(std::size_t index, std::mt19937_64& rng, std::uint64_t seed) {
  static constexpr const char* kNouns[] = {
      "Vida",   "Somun",  "Pul",   "Çivi",   "Menteşe", "Kilit",     "Boya",    "Fırça",
      "Kablo",  "Priz",   "Ampul", "Şalter", "Çekiç",   "Tornavida", "Pense",   "Makas",
      "Kağıt",  "Kalem",  "Silgi", "Defter", "Sabun",   "Deterjan",  "Şampuan", "Süt",
      "Peynir", "Yoğurt", "Çay",   "Şeker",  "Un",      "Pirinç"};
  static constexpr const char* kAdjectives[] = {"Büyük", "Küçük",    "Orta",     "Çelik", "Plastik",
                                                "Ahşap", "Galvaniz", "Beyaz",    "Siyah", "Kırmızı",
                                                "Yeşil", "Sarı",     "Ekonomik", "Lüks"};
  const ItemTraits traits = TraitsOf(index, seed);
  const std::string name = Format("%s %s %lld", kNouns[UniformInt(rng, 0, std::size(kNouns) - 1)],
                                  kAdjectives[UniformInt(rng, 0, std::size(kAdjectives) - 1)],
                                  static_cast<long long>(UniformInt(rng, 1, 999)));
  return RowBuilder(StokLayout())
      .Set("STOKKODU", Unicode(GeneratedItemCode(index)))
      .Set("STOKADI", Chance(rng, 1, 50) ? Null() : Unicode(name))
      .Set("BIRIM", Unicode(traits.unit))
      .Set("HESAPKODU", Unicode(Chance(rng, 1, 2) ? "153.01" : "153.02"))
      .Set("DKODU1", Unicode(Format("GRP-%02lld", static_cast<long long>(UniformInt(rng, 1, 6)))))
      .Set("DKODU2",
           Chance(rng, 1, 3)
               ? Null()
               : Unicode(Format("MRK-%02lld", static_cast<long long>(UniformInt(rng, 1, 7)))))
      .Set("SIRA", Number(static_cast<std::int64_t>(100 + index)))
      .Set("KDVORAN", Number(std::int64_t{traits.vat}))
      .Set("BARKOD",
           Ansi(Format("869%010lld", static_cast<long long>(UniformInt(rng, 0, 9'999'999'999LL)))))
      .Set("ALISFIYATI", Exact(MoneyText(traits.price_e4)))
      .Set("SATISFIYATI", Exact(MoneyText(traits.price_e4 * 5 / 4)))
      .Set("MINSTOK", Exact(std::to_string(UniformInt(rng, 0, 50))))
      .Set("PASIF", Number(std::int64_t{Chance(rng, 1, 50) ? 1 : 0}))
      .Set("OLUSTURMA",
           Ansi(DateTimeText(2016, static_cast<int>(UniformInt(rng, 0, 365)),
                             static_cast<int>(UniformInt(rng, 8 * 3600, 18 * 3600)), 0, 3)))
      .Take();
}

class MovementMaker {
 public:
  MovementMaker(const SampleCounts& counts, std::uint64_t seed, std::size_t first_voucher)
      : seed_(seed),
        items_(counts.stock_cards > 0 ? counts.stock_cards : 1),
        movements_(counts.movements),
        first_voucher_(first_voucher) {
    // The two busy depots and the generated ones; each edge-case depot keeps its single item
    // and the idle depot stays without movements.
    depots_ = {std::string(codes::kMainDepot), std::string(codes::kBranchDepot)};
    for (std::size_t i = 0; i < counts.depots; ++i) {
      depots_.push_back(DepotCode(kFirstGeneratedDepot + i));
    }
  }

  SampleRow operator()(std::size_t index, std::mt19937_64& rng) const {
    MovementRow move;
    const std::int64_t roll = UniformInt(rng, 0, 99);
    move.kind = roll < 55   ? MovementKind::kPurchase
                : roll < 85 ? MovementKind::kSale
                            : MovementKind::kTransfer;
    const std::size_t item = static_cast<std::size_t>(UniformInt(rng, 0, items_ - 1));
    const ItemTraits traits = TraitsOf(item, seed_);
    move.item = GeneratedItemCode(item);
    move.unit = traits.unit;
    move.vat = traits.vat;
    move.voucher_number = static_cast<long>(first_voucher_ + index);

    const std::string& depot = Depot(rng);
    if (move.kind != MovementKind::kSale) move.into_depot = depot;
    if (move.kind != MovementKind::kPurchase) {
      move.from_depot = Depot(rng);
      while (move.kind == MovementKind::kTransfer && move.from_depot == depot) {
        move.from_depot = Depot(rng);
      }
    }
    // Whole quantities mostly, halves now and then.
    move.quantity = Chance(rng, 7, 10) ? static_cast<double>(UniformInt(rng, 1, 50))
                                       : static_cast<double>(UniformInt(rng, 0, 49)) + 0.5;
    // A price within 10% of the item's, to six decimals; sales 25% above it.
    std::int64_t micro = traits.price_e4 * UniformInt(rng, 900'000, 1'100'000) / 10'000;
    if (move.kind == MovementKind::kSale) micro = micro * 5 / 4;
    move.price = static_cast<double>(micro) / 1e6;
    if (move.kind == MovementKind::kPurchase) {
      move.party = Format("320.01.%03lld", static_cast<long long>(UniformInt(rng, 1, 3)));
    } else if (move.kind == MovementKind::kSale) {
      move.party = Format("120.01.%03lld", static_cast<long long>(UniformInt(rng, 1, 4)));
    }
    if (Chance(rng, 1, 20)) move.note = Format("Sipariş no %lld", static_cast<long long>(index));

    // Dates move forward through 2017, business hours, the entry a few minutes later.
    const int day = static_cast<int>(index * 365 / movements_);
    const int second = static_cast<int>(UniformInt(rng, 8 * 3600, 19 * 3600));
    move.when = DateTimeText(2017, day, second, 0, 3);
    move.entered = DateTimeText(2017, day, second + static_cast<int>(UniformInt(rng, 0, 600)),
                                static_cast<long>(UniformInt(rng, 0, 999)), 3);
    return ToSampleRow(move);
  }

 private:
  const std::string& Depot(std::mt19937_64& rng) const {
    return depots_[static_cast<std::size_t>(UniformInt(rng, 0, depots_.size() - 1))];
  }

  std::uint64_t seed_;
  std::int64_t items_;
  std::size_t movements_;
  std::size_t first_voucher_;
  std::vector<std::string> depots_;
};

SampleRow GeneratedAccount(std::size_t index, std::mt19937_64& rng) {
  const bool customer = index % 2 == 0;
  return RowBuilder(HesapKoduLayout())
      .Set("KODU", Unicode(Format("%s.50.%07zu", customer ? "120" : "320", index / 2 + 1)))
      .Set("ADI", Unicode(Format("%s %zu", customer ? "Müşteri" : "Tedarikçi", index / 2 + 1)))
      .Set("UST", Unicode(customer ? "120.01" : "320.01"))
      .Set("TIP", Number(std::int64_t{3}))
      .Set("BORC", Exact(MoneyText(UniformInt(rng, 0, 1'000'000'000))))
      .Set("ALACAK", Exact(MoneyText(UniformInt(rng, 0, 1'000'000'000))))
      .Set("DOVIZ", Ansi(Chance(rng, 9, 10) ? "TRY" : "EUR"))
      .Set("AKTIF", Number(std::int64_t{1}))
      .Set("ACILIS",
           Chance(rng, 1, 4)
               ? Null()
               : Ansi(DateTimeText(2016, static_cast<int>(UniformInt(rng, 0, 365)), 36000, 0, 3)))
      .Take();
}

SampleRow GeneratedLevelCode(int level, std::size_t index, std::mt19937_64& rng) {
  return RowBuilder(DuzeyKoduLayout(level))
      .Set("KODU", Unicode(Format("D%d-%07zu", level, index + 1)))
      .Set("ADI", Unicode(Format("Düzey %d kodu %zu", level, index + 1)))
      .Set("ACIKLAMA", Chance(rng, 1, 5) ? Unicode("Açıklama") : Null())
      .Set("OLUSTURMA",
           Ansi(DateTimeText(2016, static_cast<int>(UniformInt(rng, 0, 365)), 43200, 0, 3)))
      .Take();
}

}  // namespace

std::string GeneratedItemCode(std::size_t index) {
  return Format("STK-%07zu", index + 1);
}

std::vector<TableSource> YearSampleSources(const SampleCounts& counts, std::uint64_t seed) {
  std::vector<TableSource> sources;
  sources.emplace_back(DepoLayout(), FixedDepots(), counts.depots, StreamSeed(seed, kDepotSalt),
                       GeneratedDepot);
  sources.emplace_back(
      StokLayout(), FixedStockCards(), counts.stock_cards, StreamSeed(seed, kCardSalt),
      [seed](std::size_t index, std::mt19937_64& rng) { return GeneratedCard(index, rng, seed); });
  std::vector<SampleRow> fixed_movements = FixedMovements();
  const std::size_t first_voucher = fixed_movements.size() + 1;
  sources.emplace_back(StokHareketLayout(), std::move(fixed_movements), counts.movements,
                       StreamSeed(seed, kMovementSalt), MovementMaker(counts, seed, first_voucher));
  sources.emplace_back(HesapKoduLayout(), FixedAccountCodes(), counts.account_codes,
                       StreamSeed(seed, kAccountSalt), GeneratedAccount);
  for (int level = 1; level <= 5; ++level) {
    sources.emplace_back(DuzeyKoduLayout(level), FixedLevelCodes(level),
                         counts.level_codes[level - 1],
                         StreamSeed(seed, kLevelSalt + static_cast<std::uint64_t>(level)),
                         [level](std::size_t index, std::mt19937_64& rng) {
                           return GeneratedLevelCode(level, index, rng);
                         });
  }
  return sources;
}

}  // namespace sandbox::sample
