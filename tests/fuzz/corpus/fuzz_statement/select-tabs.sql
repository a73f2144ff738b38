	  SeLeCt	*
from t	 