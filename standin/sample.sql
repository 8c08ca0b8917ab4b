create table dbo.Probe (Id int)
