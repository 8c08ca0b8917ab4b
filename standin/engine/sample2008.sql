-- The sample database's tables in the types SQL Server 2008 brought; the
-- stand-in loads them only when it answers as 2008 or later. Fictional data.
set nocount on
GO

create type dbo.ShipmentRef from varchar(12) not null
GO

create type dbo.Tonnes from decimal(9,3) null
GO

create table dbo.Shipments (
    ShipmentId int identity(1,1) not null primary key,
    Reference dbo.ShipmentRef not null,
    ShipDate date not null,
    CutOff time(0) null,
    Loaded datetime2(3) null,
    Arrived datetimeoffset(7) null,
    Cargo dbo.Tonnes null
)
GO

insert into dbo.Shipments (Reference, ShipDate, CutOff, Loaded, Arrived, Cargo) values ('KF-0001', '2009-03-02', '17:30:00', '2009-03-02 16:45:12.345', '2009-03-05 08:15:00.1234567 +01:00', 12.5)
insert into dbo.Shipments (Reference, ShipDate, CutOff, Loaded, Arrived, Cargo) values ('KF-0002', '0001-01-01', '00:00:00', '0001-01-01 00:00:00.000', '2009-03-06 23:59:59.9999999 +05:45', null)
insert into dbo.Shipments (Reference, ShipDate, CutOff, Loaded, Arrived, Cargo) values ('KF-0003', '9999-12-31', '23:59:59', '9999-12-31 23:59:59.999', '2009-03-06 04:14:59.9999999 -14:00', 0.001)
insert into dbo.Shipments (Reference, ShipDate, CutOff, Loaded, Arrived, Cargo) values ('KF-0004', '2009-03-09', null, null, null, null)
GO

create table dbo.Warehouses (
    WarehouseId int not null primary key,
    Name nvarchar(40) not null,
    Position hierarchyid null,
    Location geography null,
    Layout xml null
)
GO

insert into dbo.Warehouses values (1, N'Hull Quay', 0x58, 0xE6100000010CD734EF3845DF4A400C93A9825149D5BF, N'<layout><bay id="A">Ropes &amp; twine</bay><bay id="B"/></layout>')
insert into dbo.Warehouses values (2, N'Rotterdam Waalhaven', 0x5AC0, 0xE6100000010CAE47E17A14F6494009F9A067B3EA1140, N'<layout><bay id="A">Thé &amp; café, l''entrepôt</bay></layout>')
insert into dbo.Warehouses values (3, N'Not yet surveyed', null, null, null)
GO

set nocount off
GO
