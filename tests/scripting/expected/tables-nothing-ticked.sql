set nocount on
set dateformat ymd
GO

set nocount off
GO

------*******************
print 'End TABLE scripts'
------*******************
GO

