------********************************************************
print 'Deleting from tables (reverse order) before inserts...'
------********************************************************
GO

delete from dbo.Orders
GO

set nocount on
set dateformat ymd
GO

------*****************************
print 'Loading 2 rows to Orders...'
------*****************************
GO

set identity_insert dbo.Orders on
GO

insert into dbo.Orders (OrderId,[Customer Name],Placed,Flags) values (1,N'O''Brien','2008-12-10 14:05:09.007',0x0AFF)
insert into dbo.Orders (OrderId,[Customer Name],Placed,Flags) values (2,null,null,null)
GO

set identity_insert dbo.Orders off
GO

dbcc checkident('dbo.Orders',reseed,1)
dbcc checkident('dbo.Orders',reseed)
GO

set nocount off
GO

------*******************
print 'End TABLE scripts'
------*******************
GO

