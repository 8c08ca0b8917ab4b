set nocount on
set dateformat ymd
GO

------*****************************
print 'Loading 2 rows to Orders...'
------*****************************
GO

truncate table dbo.Orders
GO

set identity_insert dbo.Orders on
GO

insert into dbo.Orders (OrderId,[Customer Name],Placed,Flags) values (1,N'O''Brien','2008-12-10 14:05:09.007',0x0AFF)
insert into dbo.Orders (OrderId,[Customer Name],Placed,Flags) values (2,null,null,null)
GO

set identity_insert dbo.Orders off
GO

set nocount off
GO

------*******************
print 'End TABLE scripts'
------*******************
GO

