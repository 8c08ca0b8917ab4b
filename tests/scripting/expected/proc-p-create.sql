------***************
print 'Creating p...'
------***************
GO
CREATE PROCEDURE p AS select 1
GO

