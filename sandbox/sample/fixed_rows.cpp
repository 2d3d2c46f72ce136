#include "sandbox/sample/fixed_rows.h"

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sandbox/sample/layouts.h"
#include "sandbox/sample/movement_row.h"
#include "sandbox/sample/sample_codes.h"

namespace sandbox::sample {
namespace {

namespace c = codes;

SampleRow Depot(std::string_view code, Cell name, Cell address, Cell phone, int active,
                Cell opened) {
  return RowBuilder(DepoLayout())
      .Set("KODU", Unicode(code))
      .Set("ADI", std::move(name))
      .Set("ADRES", std::move(address))
      .Set("TELEFON", std::move(phone))
      .Set("AKTIF", Number(std::int64_t{active}))
      .Set("ACILIS", std::move(opened))
      .Take();
}

// The card of an ordinary item: the columns a shop fills, the rest NULL.
RowBuilder OrdinaryCard(std::string_view code, std::string_view name, std::string_view unit,
                        std::optional<int> vat, int order, std::string_view purchase_price,
                        std::string_view sale_price) {
  RowBuilder card(StokLayout());
  card.Set("STOKKODU", Unicode(code))
      .Set("STOKADI", Unicode(name))
      .Set("BIRIM", Unicode(unit))
      .Set("HESAPKODU", Unicode("153.01"))
      .Set("DKODU1", Unicode("GRP-01"))
      .Set("SIRA", Number(std::int64_t{order}))
      .Set("KDVORAN", vat ? Number(std::int64_t{*vat}) : Null())
      .Set("ALISFIYATI", Exact(purchase_price))
      .Set("SATISFIYATI", Exact(sale_price))
      .Set("PASIF", Number(std::int64_t{0}))
      .Set("OLUSTURMA", Ansi("2016-12-15 10:00:00.000"));
  return card;
}

std::string Repeat(std::string_view piece, int times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// More than 4000 characters (the longest nvarchar(n)), with Turkish letters on every line.
std::string LongNote() {
  std::string text;
  for (int line = 1; line <= 100; ++line) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", line);
    text += "Satır ";
    text += number;
    text += ": paslanmaz çelik vida, ğüşıöç ĞÜŞİÖÇ. ";
  }
  return text;
}

std::string AllByteValues() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

SampleRow FullCard() {
  return OrdinaryCard(c::kFullCard, "Çelik vida M6 ğüşıöçĞÜŞİÖÇ", "ADET", 18, 1, "12.5000",
                      "18.7500")
      .Set("HESAPKODU", Unicode("153.01.001"))
      .Set("DKODU2", Unicode("MRK-01"))
      .Set("DKODU3", Unicode("BLG-01"))
      .Set("DKODU4", Unicode("SZN-01"))
      .Set("DKODU5", Unicode("DZ5-01"))
      .Set("BARKOD", Ansi("8690000000017"))
      .Set("KISAAD", Ansi("VİDA M6"))
      .Set("URETICI", Unicode("Öztürk"))
      .Set("ISKONTO", Exact("2.5000"))
      .Set("MINSTOK", Exact("100"))
      .Set("AGIRLIK", Number(0.25))
      .Set("HACIM", Number(1.0 / 3.0))
      .Set("KOLIADET", Number(std::int64_t{24}))
      .Set("TIP", Number(std::int64_t{1}))
      .Set("KAYITNO", Number(std::int64_t{4294967296}))
      .Set("GUID", Ansi("C0FFEE00-1234-4A5B-8C9D-0123456789AB"))
      .Set("OLUSTURMA", Ansi("2017-01-02 09:15:30.250"))
      .Set("GUNCELLEME", Ansi("2017-12-29 17:45:00"))
      .Set("SONSAYIM", Ansi("2017-12-31"))
      .Set("SAYIMSAATI", Ansi("13:45:10.1234567"))
      .Set("DEGISIKLIK", Ansi("2017-11-30 23:59:59.9999999"))
      .Set("ZAMANDAMGASI", Ansi("2017-07-15 08:00:00.0000000 +03:00"))
      .Set("NOTLAR", Unicode(LongNote()))
      .Set("ACIKLAMA", Unicode("Uzun açıklama: paslanmaz çelik, İ ı Ğ ğ"))
      .Set("ETIKET", Ansi("ETİKET-" + Repeat("0123456789", 900)))
      .Set("ESKIACIKLAMA", Ansi("Eski açıklama ığüşöç"))
      .Set("RESIM", Binary(AllByteValues()))
      .Set("KOD", Binary("\x0A\x0B\x0C\x0D"))
      .Set("OZELLIK", Unicode("<ozellik renk=\"kırmızı\" boy=\"6\"/>"))
      .Take();
}

SampleRow LimitsCard() {
  return OrdinaryCard(c::kLimitsCard, "Uç değerler kartı", "KG", 0, 2147483647,
                      "922337203685477.5807", "99999999999999.9999")
      .Set("HESAPKODU", Unicode("153.02"))
      .Set("DKODU1", Unicode("GRP-02"))
      .Set("DKODU2", Unicode("MRK-02"))
      .Set("DKODU3", Unicode("BLG-02"))
      .Set("DKODU4", Unicode("SZN-02"))
      .Set("DKODU5", Unicode("DZ5-02"))
      .Set("BARKOD", Ansi("0000000000000"))
      .Set("KISAAD", Ansi("UÇ DEĞER"))
      .Set("URETICI", Unicode("Çağdaş"))
      .Set("ISKONTO", Exact("-214748.3648"))
      .Set("MINSTOK", Exact("999999999"))
      .Set("AGIRLIK", Number(0.1))
      .Set("HACIM", Number(0.00001))
      .Set("KOLIADET", Number(std::int64_t{-32768}))
      .Set("TIP", Number(std::int64_t{255}))
      .Set("KAYITNO", Number(std::int64_t{9007199254740993}))
      .Set("PASIF", Number(std::int64_t{1}))
      .Set("GUID", Ansi("ffffffff-ffff-ffff-ffff-ffffffffffff"))
      .Set("OLUSTURMA", Ansi("2017-12-31 23:59:59.997"))
      .Set("GUNCELLEME", Ansi("2017-06-30 23:59:00"))
      .Set("SONSAYIM", Ansi("0001-01-01"))
      .Set("SAYIMSAATI", Ansi("23:59:59.9999999"))
      .Set("DEGISIKLIK", Ansi("9999-12-31 23:59:59.9999999"))
      .Set("ZAMANDAMGASI", Ansi("2017-01-01 00:00:00.0000000 -03:30"))
      .Set("NOTLAR", Unicode("Not: \"çift tırnak\" ve 'tek tırnak'"))
      .Set("ACIKLAMA", Unicode("İ ı ğ Ğ"))
      .Set("ETIKET", Ansi("kısa"))
      .Set("ESKIACIKLAMA", Ansi("O'Brien"))
      .Set("RESIM", Binary(""))
      .Set("KOD", Binary("\xFF\xFF\xFF\xFF"))
      .Set("OZELLIK", Unicode("<ozellik><not>O'Brien &amp; Şürekası</not></ozellik>"))
      .Take();
}

SampleRow BareCard() {
  return RowBuilder(StokLayout())
      .Set("STOKKODU", Unicode(c::kBareCard))
      .Set("PASIF", Number(std::int64_t{0}))
      .Take();
}

SampleRow MaxLengthCard() {
  // Every text at its column's length: 100 characters of STOKADI, 10 of BIRIM, 20 of
  // HESAPKODU, 10 of KISAAD and URETICI, 30 of BARKOD.
  const std::string name = "Azami uzunlukta ad " + Repeat("ĞÜŞİÖÇ", 13) + "ğüş";
  return OrdinaryCard(c::kMaxLengthCard, name, "KİLOGRAMLI", 18, 8, "1000.0000", "1250.0000")
      .Set("HESAPKODU", Unicode("153.99.999.999.99999"))
      .Set("KISAAD", Ansi("ÇĞİÖŞÜçğıö"))
      .Set("URETICI", Unicode("ÖZTÜRKOĞLU"))
      .Set("BARKOD", Ansi("123456789012345678901234567890"))
      .Set("HACIM", Number(1e15))
      .Take();
}

SampleRow EmptyTextCard() {
  return OrdinaryCard(c::kEmptyTextCard, "", "ADET", std::nullopt, 9, "10.0000", "12.0000")
      .Set("BARKOD", Ansi(""))
      .Set("NOTLAR", Unicode(""))
      .Take();
}

// Movement helpers: one row per receipt, issue or transfer.
struct FixedItem {
  std::string_view code;
  std::string_view unit;
  std::optional<int> vat;
};

constexpr FixedItem kItems[] = {
    {c::kFullCard, "ADET", 18},
    {c::kLimitsCard, "KG", 0},
    {c::kQuoteCard, "ADET", 18},
    {c::kQuotedNameCard, "PAKET", 8},
    {c::kTurkishCard, "ŞİŞE", 8},
    {c::kMaxLengthCard, "KİLOGRAMLI", 18},
    {c::kEmptyTextCard, "ADET", std::nullopt},
    {c::kZeroRemainderCard, "ADET", 18},
    {c::kNeverReceivedCard, "ADET", 18},
    {c::kOverIssuedCard, "MT", 18},
    {c::kFractionCard, "KG", 8},
    {c::kManyDecimalsCard, "LT", 1},
    {c::kCardlessItem, "ADET", 18},
    {c::kTransferCard, "KOLİ", 18},
};

const FixedItem& Item(std::string_view code) {
  for (const FixedItem& item : kItems) {
    if (item.code == code) return item;
  }
  throw std::logic_error("no fixed item " + std::string(code));
}

MovementRow Move(std::string_view when, MovementKind kind, std::string_view code,
                 std::string_view into, std::string_view from, double quantity, double price,
                 std::string_view party = {}) {
  const FixedItem& item = Item(code);
  MovementRow move;
  move.when = std::string(when);
  move.kind = kind;
  move.item = std::string(code);
  move.unit = std::string(item.unit);
  move.vat = item.vat;
  move.into_depot = std::string(into);
  move.from_depot = std::string(from);
  move.quantity = quantity;
  move.price = price;
  if (!party.empty()) move.party = std::string(party);
  return move;
}

}  // namespace

std::vector<SampleRow> FixedDepots() {
  return {
      Depot(c::kMainDepot, Unicode("ANA DEPO"), Unicode("Atatürk Cad. No:1 İstanbul"),
            Ansi("0212 555 01 01"), 1, Ansi("2010-01-04")),
      Depot(c::kBranchDepot, Unicode("ŞUBE DEPO"), Unicode("Gazi Mah. Çınar Sk. No:5 Eskişehir"),
            Null(), 1, Ansi("2012-06-15")),
      Depot(c::kZeroRemainderDepot, Unicode("O'Brien Deposu"), Unicode(""), Ansi("0232 555 03 03"),
            1, Null()),
      Depot(c::kNeverReceivedDepot, Unicode("ÇIĞIR DEPO ğüşıöç"), Null(), Ansi("0242 555 04 04"), 0,
            Ansi("2015-09-01")),
      Depot(c::kIdleDepot, Unicode("BOŞ DEPO"), Unicode("Sanayi Sitesi 5. Blok"), Null(), 1,
            Ansi("2017-11-01")),
      Depot(c::kOverIssuedDepot, Unicode("FAZLA ÇIKIŞ DEPOSU"), Null(), Null(), 1,
            Ansi("2016-02-29")),
      Depot(c::kFractionDepot, Unicode("KESİRLİ DEPO"), Unicode("Liman Yolu 7"), Null(), 1,
            Ansi("2017-03-01")),
  };
}

std::vector<SampleRow> FixedStockCards() {
  std::vector<SampleRow> cards;
  cards.push_back(FullCard());
  cards.push_back(LimitsCard());
  cards.push_back(BareCard());
  cards.push_back(
      OrdinaryCard(c::kIdleCard, "Hareketsiz ürün", "ADET", 18, 4, "1.0000", "1.5000").Take());
  cards.push_back(OrdinaryCard(c::kQuoteCard, "O'Brien", "ADET", 18, 5, "3.3333", "5.0000").Take());
  cards.push_back(
      OrdinaryCard(c::kQuotedNameCard, "'A''lı'", "PAKET", 8, 6, "15.7500", "19.9900").Take());
  cards.push_back(
      OrdinaryCard(c::kTurkishCard, "Şişe ğüşıöç ĞÜŞİÖÇ", "ŞİŞE", 8, 7, "2.7500", "3.9000")
          .Set("DKODU1", Unicode("GRP-02"))
          .Take());
  cards.push_back(MaxLengthCard());
  cards.push_back(EmptyTextCard());
  cards.push_back(
      OrdinaryCard(c::kZeroRemainderCard, "Sıfır kalan", "ADET", 18, 10, "5.5000", "7.2500")
          .Take());
  cards.push_back(
      OrdinaryCard(c::kNeverReceivedCard, "Eksi kalan", "ADET", 18, 11, "8.0000", "11.0000")
          .Take());
  cards.push_back(
      OrdinaryCard(c::kOverIssuedCard, "Fazla çıkış", "MT", 18, 12, "2.2000", "3.1000").Take());
  cards.push_back(
      OrdinaryCard(c::kFractionCard, "Kesirli miktar", "KG", 8, 13, "4.0000", "5.0000").Take());
  cards.push_back(
      OrdinaryCard(c::kManyDecimalsCard, "Çok ondalıklı fiyat", "LT", 1, 14, "1.0556", "1.4000")
          .Take());
  cards.push_back(
      OrdinaryCard(c::kTransferCard, "Transfer ürünü", "KOLİ", 18, 15, "7.1250", "9.5000").Take());
  return cards;
}

std::vector<SampleRow> FixedMovements() {
  using enum MovementKind;
  std::vector<MovementRow> moves = {
      Move("2017-01-03 09:12:00.000", kPurchase, c::kFullCard, "01", {}, 100, 12.5, "320.01.001"),
      Move("2017-01-05 10:30:15.000", kPurchase, c::kLimitsCard, "02", {}, 50, 99.999999,
           "320.01.002"),
      Move("2017-01-09 11:00:00.000", kPurchase, c::kQuoteCard, "02", {}, 12, 3.3333333,
           "320.01.003"),
      Move("2017-01-10 14:05:00.000", kPurchase, c::kQuotedNameCard, "01", {}, 6, 15.75),
      Move("2017-01-16 08:45:30.000", kPurchase, c::kTurkishCard, "02", {}, 7, 2.75),
      Move("2017-01-20 16:20:00.000", kPurchase, c::kTurkishCard, "02", {}, 3, 3.25),
      Move("2017-02-01 09:00:00.000", kPurchase, c::kMaxLengthCard, "01", {}, 1, 1000),
      Move("2017-02-03 13:13:13.000", kPurchase, c::kEmptyTextCard, "02", {}, 4, 10),
      Move("2017-02-14 10:00:00.000", kPurchase, c::kZeroRemainderCard, "03", {}, 10, 5.5),
      Move("2017-03-01 12:00:00.000", kSale, c::kZeroRemainderCard, {}, "03", 2.5, 7.25,
           "120.01.001"),
      Move("2017-03-15 15:30:00.000", kSale, c::kZeroRemainderCard, {}, "03", 7.5, 7.25,
           "120.01.002"),
      Move("2017-04-03 09:30:00.000", kPurchase, c::kNeverReceivedCard, "01", {}, 6, 8),
      Move("2017-04-10 11:45:00.000", kSale, c::kNeverReceivedCard, {}, "04", 4, 11, "120.01.001"),
      Move("2017-05-02 10:10:10.000", kPurchase, c::kOverIssuedCard, "06", {}, 5, 2.2),
      Move("2017-05-20 17:59:59.000", kSale, c::kOverIssuedCard, {}, "06", 8, 3.1, "120.01.003"),
      Move("2017-06-06 08:00:00.000", kPurchase, c::kFractionCard, "07", {}, 2.5, 4),
      Move("2017-07-07 07:07:07.000", kPurchase, c::kManyDecimalsCard, "01", {}, 3, 0.123456789),
      Move("2017-07-21 12:34:56.000", kPurchase, c::kManyDecimalsCard, "01", {}, 7, 1.987654321),
      Move("2017-08-08 10:00:00.000", kPurchase, c::kCardlessItem, "02", {}, 3, 9.99),
      Move("2017-09-01 09:00:00.000", kPurchase, c::kTransferCard, "01", {}, 20, 7.125),
      Move("2017-09-04 14:00:00.000", kTransfer, c::kTransferCard, "02", "01", 12, 7.125),
      Move("2017-10-10 10:00:00.000", kSale, c::kFullCard, {}, "01", 40, 18.75, "120.01.004"),
      Move("2017-11-11 11:11:11.000", kTransfer, c::kFullCard, "02", "01", 10, 12.5),
      Move("2017-12-29 18:30:00.000", kSale, c::kLimitsCard, {}, "02", 20, 149.5, "120.02"),
      Move("2017-12-31 23:59:59.997", kSale, c::kQuoteCard, {}, "02", 2, 5, "120.01.002"),
  };
  // Notes: a quote, an empty one, and one with a line break inside.
  moves[2].note = "O'Brien Ltd. Şti. faturası";
  moves[7].note = "";
  moves[14].note = "Müşteri iadesi bekleniyor\r\nİkinci satır: eksik teslim";
  moves[16].note = "Fiyat: 0,123456789 TL";

  std::vector<SampleRow> rows;
  rows.reserve(moves.size());
  for (std::size_t i = 0; i < moves.size(); ++i) {
    MovementRow& move = moves[i];
    move.voucher_number = static_cast<long>(i + 1);
    // A few rows leave the entry time NULL.
    move.entered = i % 6 == 5 ? std::string() : move.when;
    rows.push_back(ToSampleRow(move));
  }
  return rows;
}

FixedRowCounts CountFixedRows() {
  FixedRowCounts counts;
  counts.depots = FixedDepots().size();
  counts.stock_cards = FixedStockCards().size();
  counts.movements = FixedMovements().size();
  counts.account_codes = FixedAccountCodes().size();
  for (int level = 1; level <= 5; ++level) {
    counts.level_codes[level - 1] = FixedLevelCodes(level).size();
  }
  return counts;
}

}  // namespace sandbox::sample
