// logging
