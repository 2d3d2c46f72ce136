#include "sandbox/sample/movement_row.h"

#include <cstdio>

#include "sandbox/sample/layouts.h"

namespace sandbox::sample {
namespace {

struct KindTexts {
  const char* voucher_prefix;
  const char* state;      // DURUM
  const char* operation;  // ISLEM
  const char* split;      // AYIR
};

KindTexts TextsOf(MovementKind kind) {
  switch (kind) {
    case MovementKind::kPurchase:
      return {"AF", "GIRIS", "ALIS", "AFISI"};
    case MovementKind::kSale:
      return {"SF", "CIKIS", "SATIS", "SFISI"};
    case MovementKind::kTransfer:
      return {"TF", "TRANSFER", "TRANSFER", "TFISI"};
  }
  return {"", "", "", ""};
}

Cell TextOrNull(const std::string& text) {
  return text.empty() ? Null() : Unicode(text);
}

}  // namespace

SampleRow ToSampleRow(const MovementRow& move) {
  static const TableLayout& layout = StokHareketLayout();
  static const std::size_t kTarih = layout.IndexOf("TARIH");
  static const std::size_t kFisno = layout.IndexOf("FISNO");
  static const std::size_t kDurum = layout.IndexOf("DURUM");
  static const std::size_t kIslem = layout.IndexOf("ISLEM");
  static const std::size_t kCkodu = layout.IndexOf("CKODU");
  static const std::size_t kAyir = layout.IndexOf("AYIR");
  static const std::size_t kGdepo = layout.IndexOf("GDEPO");
  static const std::size_t kCdepo = layout.IndexOf("CDEPO");
  static const std::size_t kStokkodu = layout.IndexOf("STOKKODU");
  static const std::size_t kBirim = layout.IndexOf("BIRIM");
  static const std::size_t kKdvoran = layout.IndexOf("KDVORAN");
  static const std::size_t kAdet = layout.IndexOf("ADET");
  static const std::size_t kFiyat = layout.IndexOf("FIYAT");
  static const std::size_t kTutar = layout.IndexOf("TUTAR");
  static const std::size_t kAciklama = layout.IndexOf("ACIKLAMA");
  static const std::size_t kKayitzamani = layout.IndexOf("KAYITZAMANI");

  const KindTexts texts = TextsOf(move.kind);
  char voucher[32];
  std::snprintf(voucher, sizeof voucher, "%s17%07ld", texts.voucher_prefix, move.voucher_number);

  // Positions instead of names: two million of these make up the large sample.
  SampleRow row(layout.columns.size());
  row[kTarih] = Ansi(move.when);
  row[kFisno] = Unicode(voucher);
  row[kDurum] = Unicode(texts.state);
  row[kIslem] = Unicode(texts.operation);
  row[kCkodu] = move.party ? Unicode(*move.party) : Null();
  row[kAyir] = Unicode(texts.split);
  row[kGdepo] = TextOrNull(move.into_depot);
  row[kCdepo] = TextOrNull(move.from_depot);
  row[kStokkodu] = Unicode(move.item);
  row[kBirim] = TextOrNull(move.unit);
  row[kKdvoran] = move.vat ? Number(std::int64_t{*move.vat}) : Null();
  row[kAdet] = Number(move.quantity);
  row[kFiyat] = Number(move.price);
  row[kTutar] = Number(move.quantity * move.price);
  row[kAciklama] = move.note ? Unicode(*move.note) : Null();
  row[kKayitzamani] = move.entered.empty() ? Null() : Ansi(move.entered);
  return row;
}

}  // namespace sandbox::sample
