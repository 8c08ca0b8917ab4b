------*********************************
print 'Altering (With Encryption) p...'
------*********************************
GO
ALTER PROCEDURE p 
WITH ENCRYPTION
AS select 1
GO

