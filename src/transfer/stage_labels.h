#pragma once

// The stage labels the transfer shows in front of a failure, in the order they are set. The
// script's own three ("stok tablosu", "stokhareket tablosu", "depo+hk+dk") are set while it
// is built (script/transfer_script).

namespace devir::transfer {

/// Connecting to the source database; also the label of "DB Sil".
inline constexpr char kConnectStage[] = "veritabanına bağlanılamadı";
/// The registry rows and the template copy.
inline constexpr char kRegistryStage[] = "şirket";
/// Attaching the new year's database.
inline constexpr char kAttachStage[] = "attach";
/// Running the script in the new year's database.
inline constexpr char kRunStage[] = "x.txt";
/// Proving that the new year holds what the old one had.
inline constexpr char kProofStage[] = "doğrulama";

}  // namespace devir::transfer
