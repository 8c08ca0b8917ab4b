-- Sample database of the Quarvex stand-in: Kestrel & Finch, a small
-- trading company. Fictional data throughout.
set nocount on
GO

create schema sales
GO

create schema [Back Office]
GO

create schema [CORP\buyer]
GO

create schema [east/west]
GO

create type dbo.PhoneNumber from varchar(24) null
GO

create table dbo.Customers (
    CustomerCode nchar(5) not null primary key,
    CompanyName nvarchar(40) not null,
    ContactName nvarchar(30) null,
    City varchar(20) null,
    Notes ntext null
)
GO

insert into dbo.Customers values (N'ALDER', N'Alder & Sons Chandlery', N'Maren Holt', 'Portsmouth', N'Pays on the 15th.')
insert into dbo.Customers values (N'BRACK', N'Brackwater Provisions', N'Tomasz Wierzbicki', 'Gdańsk', null)
insert into dbo.Customers values (N'CORVE', N'Corvette''s Galley', N'Anaïs Lefèvre', 'Nantes', N'Delivers by barge;
ring ahead.')
insert into dbo.Customers values (N'DUNMO', N'Dunmore Fisheries', N'Ōtani Keiko', 'Kushiro', N'')
insert into dbo.Customers values (N'EYRIE', N'The Eyrie Tea Rooms', null, null, null)
GO

create table dbo.Products (
    ProductId int identity(1,1) not null primary key,
    ProductName nvarchar(40) not null,
    UnitPrice money not null default (0),
    UnitsInStock smallint null,
    Discontinued bit not null default (0),
    WeightKg real null
)
GO

insert into dbo.Products (ProductName, UnitPrice, UnitsInStock, Discontinued, WeightKg) values (N'Smoked Kipper Fillets', 6.2500, 120, 0, 0.5)
insert into dbo.Products (ProductName, UnitPrice, UnitsInStock, Discontinued, WeightKg) values (N'Ship''s Biscuit, tin of 40', 3.9900, 300, 0, 1.25)
insert into dbo.Products (ProductName, UnitPrice, UnitsInStock, Discontinued, WeightKg) values (N'Dark Muscovado Sugar', 2.1000, 0, 1, 1)
insert into dbo.Products (ProductName, UnitPrice, UnitsInStock, Discontinued, WeightKg) values (N'Oolong Tea, 250 g', 11.7500, 48, 0, 0.25)
insert into dbo.Products (ProductName, UnitPrice, UnitsInStock, Discontinued, WeightKg) values (N'Tarred Twine, 100 m', 14.0000, 15, 0, 2.5)
insert into dbo.Products (ProductName, UnitPrice, UnitsInStock, Discontinued, WeightKg) values (N'Anchovies in Brine', 4.3300, 75, 0, 0.4)
insert into dbo.Products (ProductName, UnitPrice, UnitsInStock, Discontinued, WeightKg) values (N'Ginger Cordial', 5.6000, 60, 0, 0.75)
insert into dbo.Products (ProductName, UnitPrice, UnitsInStock, Discontinued, WeightKg) values (N'Brass Hurricane Lamp', 89.9900, 4, 0, 3.1)
GO

create table dbo.Orders (
    OrderId int identity(1000,1) not null primary key,
    CustomerCode nchar(5) not null constraint FK_Orders_Customers references dbo.Customers (CustomerCode),
    [Order Date] datetime not null,
    ShippedDate smalldatetime null,
    Freight money null,
    RowStamp timestamp
)
GO

insert into dbo.Orders (CustomerCode, [Order Date], ShippedDate, Freight) values (N'ALDER', '2008-12-10 14:05:09.007', '2008-12-12 09:30', 12.5)
insert into dbo.Orders (CustomerCode, [Order Date], ShippedDate, Freight) values (N'BRACK', '2008-12-11 00:00:00.000', null, 0)
insert into dbo.Orders (CustomerCode, [Order Date], ShippedDate, Freight) values (N'CORVE', '2008-12-31 23:59:59.997', '2009-01-02 16:45', 31.2575)
insert into dbo.Orders (CustomerCode, [Order Date], ShippedDate, Freight) values (N'DUNMO', '2009-01-05 08:15:30.500', null, null)
GO

create table dbo.[Order Details] (
    OrderId int not null,
    ProductId int not null,
    UnitPrice money not null,
    Quantity smallint not null,
    Discount real not null default (0),
    LineTotal as (UnitPrice * Quantity),
    constraint PK_Order_Details primary key (OrderId, ProductId),
    constraint FK_Order_Details_Orders foreign key (OrderId) references dbo.Orders (OrderId),
    foreign key (ProductId) references dbo.Products
)
GO

insert into dbo.[Order Details] (OrderId, ProductId, UnitPrice, Quantity, Discount) values (1000, 1, 6.25, 10, 0)
insert into dbo.[Order Details] (OrderId, ProductId, UnitPrice, Quantity, Discount) values (1000, 4, 11.75, 2, 0.05)
insert into dbo.[Order Details] (OrderId, ProductId, UnitPrice, Quantity, Discount) values (1001, 2, 3.99, 40, 0)
insert into dbo.[Order Details] (OrderId, ProductId, UnitPrice, Quantity, Discount) values (1002, 8, 89.99, 1, 0.1)
insert into dbo.[Order Details] (OrderId, ProductId, UnitPrice, Quantity, Discount) values (1003, 6, 4.33, 24, 0)
GO

-- Each department has a manager, each employee a department: the two tables
-- refer to each other, so departments are loaded first without managers.
create table dbo.Departments (
    DepartmentId int not null primary key,
    DepartmentName nvarchar(30) not null,
    ManagerId int null
)
GO

create table dbo.Employees (
    EmployeeId int not null primary key,
    FullName nvarchar(40) not null,
    DepartmentId int not null constraint FK_Employees_Departments references dbo.Departments (DepartmentId)
)
GO

alter table dbo.Departments add constraint FK_Departments_Manager foreign key (ManagerId) references dbo.Employees (EmployeeId)
GO

insert into dbo.Departments values (10, N'Counter', null)
insert into dbo.Departments values (20, N'Warehouse', null)
insert into dbo.Departments values (30, N'Accounts', null)
insert into dbo.Employees values (1, N'Ingrid Sæther', 10)
insert into dbo.Employees values (2, N'Kofi Mensah', 10)
insert into dbo.Employees values (3, N'Rosa Delgado', 20)
insert into dbo.Employees values (4, N'Wen Jiahui', 30)
update dbo.Departments set ManagerId = 1 where DepartmentId = 10
update dbo.Departments set ManagerId = 3 where DepartmentId = 20
GO

create table dbo.TypeSamples (
    SampleId int not null primary key,
    Label varchar(40) not null,
    IntValue int null, SmallValue smallint null, TinyValue tinyint null, BigValue bigint null,
    Flag bit null, RealValue real null, FloatValue float null,
    Exact decimal(38,10) null, Small numeric(9,2) null, Price money null, Fee smallmoney null,
    Code char(10) null, Word varchar(8000) null, Essay text null,
    UCode nchar(10) null, UWord nvarchar(4000) null, UEssay ntext null,
    Fixed binary(8) null, Bytes varbinary(8000) null, Picture image null,
    Moment datetime null, Minute smalldatetime null, Guid uniqueidentifier null
)
GO

insert into dbo.TypeSamples values (1, 'typical', 42, 7, 200, 9000000000, 1, 1.5, 3.0000000000000004E-1, 1234.5678900000, 12.34, 12.3456, 5.25, 'ab', 'O''Brien''s café', 'text value', N'xy', N'Ünïcødé Ελληνικά 中文', N'ntext value', 0x0102, 0x0AFF, 0xFFD8FFE0, '2008-12-10 14:05:09.007', '2008-12-10 14:05', 'A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11')
insert into dbo.TypeSamples values (2, 'extremes', -2147483648, -32768, 0, -9223372036854775808, 0, -3.4E38, 1.7976931348623157E308, -9999999999999999999999999999.9999999999, -9999999.99, -922337203685477.5808, -214748.3648, '', '', '', N'', N'', N'', 0x, 0x, 0x, '1753-01-01 00:00:00.000', '1900-01-01 00:00', '00000000-0000-0000-0000-000000000000')
insert into dbo.TypeSamples values (3, 'line breaks', 2147483647, 32767, 255, 9223372036854775807, 1, 1.17549435E-38, 2.2250738585072014E-308, 9999999999999999999999999999.9999999999, 9999999.99, 922337203685477.5807, 214748.3647, 'a''b', 'first line
second line', 'tab	here', N'''', N'Zeile 1
Zeile 2', N'-- not a comment', 0x00, 0x00, 0x00, '9999-12-31 23:59:59.997', '2079-06-06 23:59', 'FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF')
insert into dbo.TypeSamples values (4, 'all null', null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null)
GO

create table dbo.SupplierContacts (
    ContactId int identity(1,1) not null primary key,
    SupplierName nvarchar(40) not null,
    Phone dbo.PhoneNumber null
)
GO

insert into dbo.SupplierContacts (SupplierName, Phone) values (N'Haverly Ropeworks', '+44 1632 960123')
insert into dbo.SupplierContacts (SupplierName, Phone) values (N'Saltmarsh Teas', null)
GO

create table dbo.ProductSpecs (
    ProductId int not null primary key,
    Sheet xml null
)
GO

insert into dbo.ProductSpecs values (1, N'<spec><smoked>oak</smoked></spec>')
GO

create table dbo.Digits (Digit tinyint not null primary key)
GO

insert into dbo.Digits values (0)
insert into dbo.Digits values (1)
insert into dbo.Digits values (2)
insert into dbo.Digits values (3)
insert into dbo.Digits values (4)
insert into dbo.Digits values (5)
insert into dbo.Digits values (6)
insert into dbo.Digits values (7)
insert into dbo.Digits values (8)
insert into dbo.Digits values (9)
GO

create table dbo.StockMovements (
    MovementId int identity(1,1) not null primary key,
    ProductId int not null,
    Quantity int not null,
    MovedOn datetime not null
)
GO

insert into dbo.StockMovements (ProductId, Quantity, MovedOn)
select a.Digit % 8 + 1, (a.Digit * 7 + b.Digit * 3 + c.Digit) - 12, dateadd(hour, a.Digit * 100 + b.Digit * 10 + c.Digit, '2008-11-01T00:00:00')
from dbo.Digits a cross join dbo.Digits b cross join dbo.Digits c
where a.Digit < 3
order by a.Digit, b.Digit, c.Digit
GO

create table dbo.pbcatcol (pbc_tnam char(129) not null, pbc_cnam char(129) not null)
GO

create table dbo.dtproperties (id int not null, property varchar(64) not null, value varchar(255) null)
GO

create table sales.Regions (RegionId int not null primary key, RegionName nvarchar(30) not null)
GO

insert into sales.Regions values (1, N'North Sea')
insert into sales.Regions values (2, N'Baltic')
GO

create table [Back Office].[Cost Centres] ([Centre Code] varchar(6) not null primary key, Budget decimal(12,2) null)
GO

insert into [Back Office].[Cost Centres] values ('WH-01', 25000.00)
GO

create table [CORP\buyer].Wishlist (Item nvarchar(40) not null)
GO

create table [east/west].Routes (RouteId int identity(1,1) not null, Leg varchar(30) not null)
GO

insert into [east/west].Routes (Leg) values ('Hull - Rotterdam')
GO

create procedure dbo.spListProducts
as
select ProductId, ProductName, UnitPrice from dbo.Products where Discontinued = 0 order by ProductName
GO

-- Orders of one customer, newest first.
-- Used by the counter staff.
create procedure dbo.spCustomerOrders @CustomerCode nchar(5)
as
select OrderId, [Order Date], Freight
from dbo.Orders
where CustomerCode = @CustomerCode
order by [Order Date] desc
GO

create procedure dbo.spPricingRules
with encryption
as
select ProductId, UnitPrice * 1.2 as RetailPrice from dbo.Products
GO

CREATE PROCEDURE dbo.GetOverdueOrders
AS
select OrderId from dbo.Orders where ShippedDate is null
GO

create procedure sales.spRegionTotals
as
select RegionName from sales.Regions
GO

create procedure dbo.spArchiveOrders;1
as
select 'archive step 1'
GO

create procedure dbo.spArchiveOrders;2
as
select 'archive step 2'
GO

create procedure dbo.spStockReport
as
/* A long procedure: its text runs over several pieces of 4000 characters. */
    -- 000 Stock report line kept long on purpose, to fill several pieces.
    -- 001 Stock report line kept long on purpose, to fill several pieces.
    -- 002 Stock report line kept long on purpose, to fill several pieces.
    -- 003 Stock report line kept long on purpose, to fill several pieces.
    -- 004 Stock report line kept long on purpose, to fill several pieces.
    -- 005 Stock report line kept long on purpose, to fill several pieces.
    -- 006 Stock report line kept long on purpose, to fill several pieces.
    -- 007 Stock report line kept long on purpose, to fill several pieces.
    -- 008 Stock report line kept long on purpose, to fill several pieces.
    -- 009 Stock report line kept long on purpose, to fill several pieces.
    -- 010 Stock report line kept long on purpose, to fill several pieces.
    -- 011 Stock report line kept long on purpose, to fill several pieces.
    -- 012 Stock report line kept long on purpose, to fill several pieces.
    -- 013 Stock report line kept long on purpose, to fill several pieces.
    -- 014 Stock report line kept long on purpose, to fill several pieces.
    -- 015 Stock report line kept long on purpose, to fill several pieces.
    -- 016 Stock report line kept long on purpose, to fill several pieces.
    -- 017 Stock report line kept long on purpose, to fill several pieces.
    -- 018 Stock report line kept long on purpose, to fill several pieces.
    -- 019 Stock report line kept long on purpose, to fill several pieces.
    -- 020 Stock report line kept long on purpose, to fill several pieces.
    -- 021 Stock report line kept long on purpose, to fill several pieces.
    -- 022 Stock report line kept long on purpose, to fill several pieces.
    -- 023 Stock report line kept long on purpose, to fill several pieces.
    -- 024 Stock report line kept long on purpose, to fill several pieces.
    -- 025 Stock report line kept long on purpose, to fill several pieces.
    -- 026 Stock report line kept long on purpose, to fill several pieces.
    -- 027 Stock report line kept long on purpose, to fill several pieces.
    -- 028 Stock report line kept long on purpose, to fill several pieces.
    -- 029 Stock report line kept long on purpose, to fill several pieces.
    -- 030 Stock report line kept long on purpose, to fill several pieces.
    -- 031 Stock report line kept long on purpose, to fill several pieces.
    -- 032 Stock report line kept long on purpose, to fill several pieces.
    -- 033 Stock report line kept long on purpose, to fill several pieces.
    -- 034 Stock report line kept long on purpose, to fill several pieces.
    -- 035 Stock report line kept long on purpose, to fill several pieces.
    -- 036 Stock report line kept long on purpose, to fill several pieces.
    -- 037 Stock report line kept long on purpose, to fill several pieces.
    -- 038 Stock report line kept long on purpose, to fill several pieces.
    -- 039 Stock report line kept long on purpose, to fill several pieces.
    -- 040 Stock report line kept long on purpose, to fill several pieces.
    -- 041 Stock report line kept long on purpose, to fill several pieces.
    -- 042 Stock report line kept long on purpose, to fill several pieces.
    -- 043 Stock report line kept long on purpose, to fill several pieces.
    -- 044 Stock report line kept long on purpose, to fill several pieces.
    -- 045 Stock report line kept long on purpose, to fill several pieces.
    -- 046 Stock report line kept long on purpose, to fill several pieces.
    -- 047 Stock report line kept long on purpose, to fill several pieces.
    -- 048 Stock report line kept long on purpose, to fill several pieces.
    -- 049 Stock report line kept long on purpose, to fill several pieces.
    -- 050 Stock report line kept long on purpose, to fill several pieces.
    -- 051 Stock report line kept long on purpose, to fill several pieces.
    -- 052 Stock report line kept long on purpose, to fill several pieces.
    -- 053 Stock report line kept long on purpose, to fill several pieces.
    -- 054 Stock report line kept long on purpose, to fill several pieces.
    -- 055 Stock report line kept long on purpose, to fill several pieces.
    -- 056 Stock report line kept long on purpose, to fill several pieces.
    -- 057 Stock report line kept long on purpose, to fill several pieces.
    -- 058 Stock report line kept long on purpose, to fill several pieces.
    -- 059 Stock report line kept long on purpose, to fill several pieces.
    -- 060 Stock report line kept long on purpose, to fill several pieces.
    -- 061 Stock report line kept long on purpose, to fill several pieces.
    -- 062 Stock report line kept long on purpose, to fill several pieces.
    -- 063 Stock report line kept long on purpose, to fill several pieces.
    -- 064 Stock report line kept long on purpose, to fill several pieces.
    -- 065 Stock report line kept long on purpose, to fill several pieces.
    -- 066 Stock report line kept long on purpose, to fill several pieces.
    -- 067 Stock report line kept long on purpose, to fill several pieces.
    -- 068 Stock report line kept long on purpose, to fill several pieces.
    -- 069 Stock report line kept long on purpose, to fill several pieces.
    -- 070 Stock report line kept long on purpose, to fill several pieces.
    -- 071 Stock report line kept long on purpose, to fill several pieces.
    -- 072 Stock report line kept long on purpose, to fill several pieces.
    -- 073 Stock report line kept long on purpose, to fill several pieces.
    -- 074 Stock report line kept long on purpose, to fill several pieces.
    -- 075 Stock report line kept long on purpose, to fill several pieces.
    -- 076 Stock report line kept long on purpose, to fill several pieces.
    -- 077 Stock report line kept long on purpose, to fill several pieces.
    -- 078 Stock report line kept long on purpose, to fill several pieces.
    -- 079 Stock report line kept long on purpose, to fill several pieces.
    -- 080 Stock report line kept long on purpose, to fill several pieces.
    -- 081 Stock report line kept long on purpose, to fill several pieces.
    -- 082 Stock report line kept long on purpose, to fill several pieces.
    -- 083 Stock report line kept long on purpose, to fill several pieces.
    -- 084 Stock report line kept long on purpose, to fill several pieces.
    -- 085 Stock report line kept long on purpose, to fill several pieces.
    -- 086 Stock report line kept long on purpose, to fill several pieces.
    -- 087 Stock report line kept long on purpose, to fill several pieces.
    -- 088 Stock report line kept long on purpose, to fill several pieces.
    -- 089 Stock report line kept long on purpose, to fill several pieces.
    -- 090 Stock report line kept long on purpose, to fill several pieces.
    -- 091 Stock report line kept long on purpose, to fill several pieces.
    -- 092 Stock report line kept long on purpose, to fill several pieces.
    -- 093 Stock report line kept long on purpose, to fill several pieces.
    -- 094 Stock report line kept long on purpose, to fill several pieces.
    -- 095 Stock report line kept long on purpose, to fill several pieces.
    -- 096 Stock report line kept long on purpose, to fill several pieces.
    -- 097 Stock report line kept long on purpose, to fill several pieces.
    -- 098 Stock report line kept long on purpose, to fill several pieces.
    -- 099 Stock report line kept long on purpose, to fill several pieces.
    -- 100 Stock report line kept long on purpose, to fill several pieces.
    -- 101 Stock report line kept long on purpose, to fill several pieces.
    -- 102 Stock report line kept long on purpose, to fill several pieces.
    -- 103 Stock report line kept long on purpose, to fill several pieces.
    -- 104 Stock report line kept long on purpose, to fill several pieces.
    -- 105 Stock report line kept long on purpose, to fill several pieces.
    -- 106 Stock report line kept long on purpose, to fill several pieces.
    -- 107 Stock report line kept long on purpose, to fill several pieces.
    -- 108 Stock report line kept long on purpose, to fill several pieces.
    -- 109 Stock report line kept long on purpose, to fill several pieces.
    -- 110 Stock report line kept long on purpose, to fill several pieces.
    -- 111 Stock report line kept long on purpose, to fill several pieces.
    -- 112 Stock report line kept long on purpose, to fill several pieces.
    -- 113 Stock report line kept long on purpose, to fill several pieces.
    -- 114 Stock report line kept long on purpose, to fill several pieces.
    -- 115 Stock report line kept long on purpose, to fill several pieces.
    -- 116 Stock report line kept long on purpose, to fill several pieces.
    -- 117 Stock report line kept long on purpose, to fill several pieces.
    -- 118 Stock report line kept long on purpose, to fill several pieces.
    -- 119 Stock report line kept long on purpose, to fill several pieces.
    -- 120 Stock report line kept long on purpose, to fill several pieces.
    -- 121 Stock report line kept long on purpose, to fill several pieces.
    -- 122 Stock report line kept long on purpose, to fill several pieces.
    -- 123 Stock report line kept long on purpose, to fill several pieces.
    -- 124 Stock report line kept long on purpose, to fill several pieces.
    -- 125 Stock report line kept long on purpose, to fill several pieces.
    -- 126 Stock report line kept long on purpose, to fill several pieces.
    -- 127 Stock report line kept long on purpose, to fill several pieces.
    -- 128 Stock report line kept long on purpose, to fill several pieces.
    -- 129 Stock report line kept long on purpose, to fill several pieces.
    -- 130 Stock report line kept long on purpose, to fill several pieces.
    -- 131 Stock report line kept long on purpose, to fill several pieces.
    -- 132 Stock report line kept long on purpose, to fill several pieces.
    -- 133 Stock report line kept long on purpose, to fill several pieces.
    -- 134 Stock report line kept long on purpose, to fill several pieces.
    -- 135 Stock report line kept long on purpose, to fill several pieces.
    -- 136 Stock report line kept long on purpose, to fill several pieces.
    -- 137 Stock report line kept long on purpose, to fill several pieces.
    -- 138 Stock report line kept long on purpose, to fill several pieces.
    -- 139 Stock report line kept long on purpose, to fill several pieces.
    -- 140 Stock report line kept long on purpose, to fill several pieces.
    -- 141 Stock report line kept long on purpose, to fill several pieces.
    -- 142 Stock report line kept long on purpose, to fill several pieces.
    -- 143 Stock report line kept long on purpose, to fill several pieces.
    -- 144 Stock report line kept long on purpose, to fill several pieces.
    -- 145 Stock report line kept long on purpose, to fill several pieces.
    -- 146 Stock report line kept long on purpose, to fill several pieces.
    -- 147 Stock report line kept long on purpose, to fill several pieces.
    -- 148 Stock report line kept long on purpose, to fill several pieces.
    -- 149 Stock report line kept long on purpose, to fill several pieces.
select p.ProductName, sum(m.Quantity) as Moved
from dbo.StockMovements m join dbo.Products p on p.ProductId = m.ProductId
group by p.ProductName
GO

create trigger dbo.trOrdersAudit on dbo.Orders
for insert
as
set nocount on
GO

create trigger dbo.trProductsStock on dbo.Products
after update
as
set nocount on
GO

create trigger sales.trRegionsGuard on sales.Regions
for delete
as
set nocount on
GO

create view dbo.vwProductList
as
select ProductId, ProductName, UnitPrice from dbo.Products where Discontinued = 0
GO

create view dbo.sysLegacyCustomers
as
select CustomerCode, CompanyName from dbo.Customers
GO

create view [Back Office].vwCostCentres
as
select [Centre Code], Budget from [Back Office].[Cost Centres]
GO

create function dbo.fnOrderTotal (@OrderId int)
returns money
as
begin
    return (select sum(UnitPrice * Quantity) from dbo.[Order Details] where OrderId = @OrderId)
end
GO

create function dbo.fnCustomerOrders (@CustomerCode nchar(5))
returns table
as
return (select OrderId, [Order Date] from dbo.Orders where CustomerCode = @CustomerCode)
GO

create function dbo.fnBusyProducts ()
returns @result table (ProductId int, Moves int)
as
begin
    insert into @result select ProductId, count(*) from dbo.StockMovements group by ProductId
    return
end
GO

create function dbo.NetPrice (@Price money, @Discount real)
returns money
as
begin
    return @Price * (1 - @Discount)
end
GO

set nocount off
GO
