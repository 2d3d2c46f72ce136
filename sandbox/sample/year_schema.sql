-- Year database schema (E2017 sample and the E2018 template). Collation Turkish_CI_AS
-- (code page 1254) for every text column.
CREATE TABLE DEPO (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  KODU nvarchar(10) NOT NULL UNIQUE,
  ADI nvarchar(50) NULL,
  ADRES nvarchar(200) NULL,
  TELEFON varchar(20) NULL,
  AKTIF bit NOT NULL DEFAULT 1,
  ACILIS date NULL
);
CREATE TABLE STOK (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  STOKKODU nvarchar(30) NOT NULL UNIQUE,
  STOKADI nvarchar(100) NULL,
  BIRIM nvarchar(10) NULL,
  HESAPKODU nvarchar(20) NULL,
  DKODU1 nvarchar(20) NULL,
  DKODU2 nvarchar(20) NULL,
  DKODU3 nvarchar(20) NULL,
  DKODU4 nvarchar(20) NULL,
  DKODU5 nvarchar(20) NULL,
  SIRA int NULL,
  KDVORAN int NULL,
  BARKOD varchar(30) NULL,
  KISAAD char(10) NULL,
  URETICI nchar(10) NULL,
  ALISFIYATI money NULL,
  SATISFIYATI decimal(18,4) NULL,
  ISKONTO smallmoney NULL,
  MINSTOK decimal(9,0) NULL,
  AGIRLIK real NULL,
  HACIM float NULL,
  KOLIADET smallint NULL,
  TIP tinyint NULL,
  KAYITNO bigint NULL,
  PASIF bit NOT NULL DEFAULT 0,
  GUID uniqueidentifier NULL,
  OLUSTURMA datetime NULL,
  GUNCELLEME smalldatetime NULL,
  SONSAYIM date NULL,
  SAYIMSAATI time(7) NULL,
  DEGISIKLIK datetime2(7) NULL,
  ZAMANDAMGASI datetimeoffset(7) NULL,
  NOTLAR nvarchar(max) NULL,
  ACIKLAMA ntext NULL,
  ETIKET varchar(max) NULL,
  ESKIACIKLAMA text NULL,
  RESIM varbinary(max) NULL,
  KOD binary(4) NULL,
  OZELLIK xml NULL,
  SURUM timestamp NULL
);
CREATE TABLE STOKHAREKET (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  TARIH datetime NOT NULL,
  FISNO nvarchar(20) NULL,
  DURUM nvarchar(10) NULL,
  ISLEM nvarchar(30) NULL,
  CKODU nvarchar(20) NULL,
  AYIR nvarchar(10) NULL,
  GDEPO nvarchar(10) NULL,
  CDEPO nvarchar(10) NULL,
  STOKKODU nvarchar(30) NULL,
  BIRIM nvarchar(10) NULL,
  KDVORAN int NULL,
  ADET float NULL,
  FIYAT float NULL,
  TUTAR float NULL,
  ACIKLAMA nvarchar(200) NULL,
  KAYITZAMANI datetime2(3) NULL
);
CREATE INDEX IX_STOKHAREKET_GDEPO ON STOKHAREKET(GDEPO, STOKKODU);
CREATE INDEX IX_STOKHAREKET_CDEPO ON STOKHAREKET(CDEPO, STOKKODU);
CREATE INDEX IX_STOKHAREKET_STOKKODU ON STOKHAREKET(STOKKODU);
CREATE TABLE HESAPKODU (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  KODU nvarchar(20) NOT NULL UNIQUE,
  ADI nvarchar(100) NULL,
  UST nvarchar(20) NULL,
  TIP tinyint NULL,
  BORC money NULL,
  ALACAK money NULL,
  DOVIZ char(3) NULL,
  AKTIF bit NOT NULL DEFAULT 1,
  ACILIS datetime NULL
);
-- DUZEYKODU1 .. DUZEYKODU5 (level codes), all alike:
CREATE TABLE DUZEYKODU1 (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  KODU nvarchar(20) NOT NULL UNIQUE,
  ADI nvarchar(100) NULL,
  ACIKLAMA nvarchar(max) NULL,
  OLUSTURMA datetime NULL
);
CREATE TABLE DUZEYKODU2 (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  KODU nvarchar(20) NOT NULL UNIQUE,
  ADI nvarchar(100) NULL,
  ACIKLAMA nvarchar(max) NULL,
  OLUSTURMA datetime NULL
);
CREATE TABLE DUZEYKODU3 (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  KODU nvarchar(20) NOT NULL UNIQUE,
  ADI nvarchar(100) NULL,
  ACIKLAMA nvarchar(max) NULL,
  OLUSTURMA datetime NULL
);
CREATE TABLE DUZEYKODU4 (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  KODU nvarchar(20) NOT NULL UNIQUE,
  ADI nvarchar(100) NULL,
  ACIKLAMA nvarchar(max) NULL,
  OLUSTURMA datetime NULL
);
CREATE TABLE DUZEYKODU5 (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  KODU nvarchar(20) NOT NULL UNIQUE,
  ADI nvarchar(100) NULL,
  ACIKLAMA nvarchar(max) NULL,
  OLUSTURMA datetime NULL
);
-- sirketambar: the company registry, not part of a year database. Everything from this
-- line on is left out of the year schema.
CREATE TABLE sirketler (
  ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  SirketAdi nvarchar(50) NOT NULL,
  CalismaYili nvarchar(4) NULL,
  DBAdi nvarchar(50) NULL
);
