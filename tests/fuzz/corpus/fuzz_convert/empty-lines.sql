SELECT *

FROM T

