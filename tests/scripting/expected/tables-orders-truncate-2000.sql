set nocount on
set dateformat ymd
GO

------*****************************
print 'Loading 2 rows to Orders...'
------*****************************
GO

if object_id('tempdb..#quarvex1') is not null drop table #quarvex1
select OrderId,[Customer Name],Placed,Flags into #quarvex1 from dbo.Orders where 1=0 union all select OrderId,[Customer Name],Placed,Flags from dbo.Orders where 1=0
GO

insert into #quarvex1 (OrderId,[Customer Name],Placed,Flags) values (1,N'O''Brien','2008-12-10 14:05:09.007',0x0AFF)
insert into #quarvex1 (OrderId,[Customer Name],Placed,Flags) values (2,null,null,null)
GO

if object_id('tempdb..#quarvexPending') is not null drop table #quarvexPending
create table #quarvexPending (n int)
GO

------************************************************
print 'Applying the staged rows in one transaction...'
------************************************************
GO

declare @e int,@n int,@m nvarchar(4000),@k nvarchar(4000)
declare @d1 int,@u1 int,@i1 int
select @d1=0,@u1=0,@i1=0
if object_id('tempdb..#quarvex1') is null set @m=N'Nothing changed: the rows of dbo.Orders were not all staged (a batch before this one failed)'
if object_id('tempdb..#quarvex1') is not null if (select count(*) from #quarvex1)<>2 set @m=N'Nothing changed: the rows of dbo.Orders were not all staged (a batch before this one failed)'
if @m is not null
begin
if @@trancount>0 rollback tran
drop table #quarvexPending
print replicate(N'*',len(@m))
raiserror(@m,16,1)
print replicate(N'*',len(@m))
return
end
if @m is null
begin
set @k=null
select top 1 @k=object_name(r.fkeyid)+N' ('+object_name(r.constid)+N')' from sysreferences r where r.rkeyid=object_id(N'dbo.Orders') and objectproperty(r.constid,'CnstIsDisabled')=0 and objectproperty(r.constid,'CnstIsDeleteCascade')=1
if @k is not null set @m=N'Nothing changed: dbo.Orders is referenced by '+replace(@k,N'%',N'%%')+N', a key the source does not have that deletes or changes rows, whose rows this script cannot check'
end
if @m is not null
begin
if @@trancount>0 rollback tran
drop table #quarvexPending
print replicate(N'*',len(@m))
raiserror(@m,16,1)
print replicate(N'*',len(@m))
return
end
set xact_abort off
begin tran
select @d1=count(*) from dbo.Orders
truncate table dbo.Orders
select @e=@@error
if @e<>0 set @m=N'Nothing changed: dbo.Orders: truncating it failed with error '+convert(nvarchar(12),@e)+N' (its message is above)'
if @m is not null
begin
if @@trancount>0 rollback tran
drop table #quarvexPending
print replicate(N'*',len(@m))
raiserror(@m,16,1)
print replicate(N'*',len(@m))
return
end
set identity_insert dbo.Orders on
insert into dbo.Orders (OrderId,[Customer Name],Placed,Flags) select OrderId,[Customer Name],Placed,Flags from #quarvex1
select @e=@@error,@i1=@@rowcount
set identity_insert dbo.Orders off
if @e<>0 set @m=N'Nothing changed: dbo.Orders: inserting rows failed with error '+convert(nvarchar(12),@e)+N' (its message is above)'
if @m is not null
begin
if @@trancount>0 rollback tran
drop table #quarvexPending
print replicate(N'*',len(@m))
raiserror(@m,16,1)
print replicate(N'*',len(@m))
return
end
commit tran
print N'dbo.Orders: '+convert(nvarchar(12),@d1)+N' deleted, '+convert(nvarchar(12),@u1)+N' updated, '+convert(nvarchar(12),@i1)+N' inserted'
print N'All changes committed'
drop table #quarvex1
drop table #quarvexPending
GO

if object_id('tempdb..#quarvexPending') is not null
begin
if @@trancount>0 rollback tran
drop table #quarvexPending
print N'********************************************************************************'
raiserror(N'Nothing changed: the staged rows were not applied (the error above stopped them)',16,1)
print N'********************************************************************************'
end
GO

set nocount off
GO

------*******************
print 'End TABLE scripts'
------*******************
GO

